// SPDX-License-Identifier: MIT
// The main window on Qt's offscreen platform: design values, the change
// notifications and the preview refresh rule, the save flows with their
// remembered folders, the dialogs' outcomes and settings at start and close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "core/outline/font_match.h"
#include "core/output/metafile_picture.h"
#include "core/platform/errors.h"
#include "gui/preview/preview_image.h"
#include "gui/window/application.h"
#include "gui/window/form.h"
#include "gui/window/form_widgets.h"
#include "support/test_support.h"

using namespace glyphor;
using glyphor::test::ReadFile;
using glyphor::test::TempDir;
using glyphor::test::WriteFile;

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "form_test";
    static char* argv[] = {name, nullptr};
    glyphor::InstallFontAliasesForToolkit();  // as the window module does
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Answers every dialog as told and records what the window asked for.
// Pictures are empty unless realPictures is set, so no font is needed.
class FakeServices : public TFormServices {
 public:
  int builds = 0;
  bool realPictures = false;
  std::vector<std::string> errors, messages;
  std::optional<std::string> saveAnswer;
  std::vector<SaveRequest> saveRequests;
  std::optional<TFontSpec> fontAnswer;
  std::optional<QColor> colorAnswer;
  std::vector<QColor> colorAsked;
  bool confirmAnswer = false;
  std::vector<QString> confirmations;
  std::vector<QUrl> urls;
  std::vector<std::string> svgWrites;
  bool svgFails = false;
  std::vector<std::string> shortcuts;
  std::vector<std::vector<uint8_t>> copied;
  std::vector<uint8_t> pictureBytes = {'E', 'M', 'F'};

  void ShowError(QWidget*, const std::string& m) override { errors.push_back(m); }
  void ShowMessage(const std::string& t) override { messages.push_back(t); }
  bool Confirm(QWidget*, const QString& text) override {
    confirmations.push_back(text);
    return confirmAnswer;
  }
  bool ChooseFont(QWidget*, TFontSpec& font) override {
    if (!fontAnswer) return false;
    font = *fontAnswer;
    return true;
  }
  bool ChooseColor(QWidget*, QColor& color) override {
    colorAsked.push_back(color);
    if (!colorAnswer) return false;
    color = *colorAnswer;
    return true;
  }
  std::optional<std::string> ChooseSaveFile(QWidget*, const SaveRequest& r) override {
    saveRequests.push_back(r);
    return saveAnswer;
  }
  void OpenUrl(const QUrl& url) override { urls.push_back(url); }
  void CopyMetafile(const MetafilePicture& p) override { copied.push_back(p.Bytes); }
  void WriteSvg(const std::string& f, const ConversionSettings&, int, TUserMessages&) override {
    svgWrites.push_back(f);
    if (svgFails) throw EFileError(FormatMessage("ファイル %s を作成できません", {f}));
  }
  void BuildPicture(MetafilePicture& p, const ConversionSettings& s, int ppi) override {
    ++builds;
    if (realPictures)
      TFormServices::BuildPicture(p, s, ppi);
    else
      p.Bytes = pictureBytes;
  }
  QImage RenderPreview(const MetafilePicture& p, int ppi) override {
    return realPictures ? TFormServices::RenderPreview(p, ppi) : QImage();
  }
  std::unique_ptr<PreviewPicture> PreparePreview(const MetafilePicture& p, int ppi) override {
    return realPictures ? TFormServices::PreparePreview(p, ppi) : nullptr;
  }
  void CreateShortcut(const std::string& link, const std::string& dest) override {
    shortcuts.push_back(link + "@" + dest);
  }
};

QRect Geometry(const QWidget* w) { return w->geometry(); }

class FormTest : public ::testing::Test {
 protected:
  FakeServices services;
  TForm1 form{96, services};

  FormTest() { services.builds = 0; }  // the fukuromoji sample is drawn at creation

  // Makes the preview page active as the program does (no rebuild) and
  // forgets the rebuilds so far.
  void OnPreviewPage() {
    form.SetActivePage(form.TabPreview);
    services.builds = 0;
  }
  void PressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
  }
};

TEST_F(FormTest, WindowAndPanelsHaveTheirDesignSizesAndFollowTheResizeRule) {
  EXPECT_EQ(form.windowTitle(), "GLYPHOR");
  EXPECT_EQ(form.size(), QSize(732, 387));
  form.show();
  EXPECT_EQ(Geometry(form.PageControl1), QRect(0, 0, 732, 176));
  EXPECT_EQ(Geometry(form.Panel1), QRect(0, 176, 732, 211));
  EXPECT_EQ(Geometry(form.Panel2), QRect(0, 0, 536, 211));
  EXPECT_EQ(Geometry(form.Panel3), QRect(536, 0, 196, 211));
  EXPECT_EQ(Geometry(form.lblTitle), QRect(2, 103, 192, 65));
  EXPECT_EQ(Geometry(form.lblCopyRight), QRect(2, 177, 192, 31));

  form.resize(900, 500);
  EXPECT_EQ(Geometry(form.PageControl1), QRect(0, 0, 900, 289));
  EXPECT_EQ(Geometry(form.Panel1), QRect(0, 289, 900, 211));
  EXPECT_EQ(Geometry(form.Panel2).width(), 536);
  EXPECT_EQ(Geometry(form.Panel3), QRect(536, 0, 364, 211));
  EXPECT_EQ(Geometry(form.Image2), QRect(0, 0, 364, 211));
  // Anchored right and bottom: the distance to the panel's right edge stays 2.
  EXPECT_EQ(Geometry(form.lblTitle), QRect(170, 103, 192, 65));
  EXPECT_EQ(Geometry(form.lblCopyRight), QRect(170, 177, 192, 31));
}

TEST_F(FormTest, ControlsSitAtTheirDesignPlaces) {
  const std::vector<std::pair<QWidget*, QRect>> places = {
      {form.Bevel1, {5, 8, 162, 79}},
      {form.btnSVG, {13, 15, 145, 41}},
      {form.chbSVGView, {13, 59, 145, 24}},
      {form.Bevel3, {5, 96, 162, 102}},
      {form.btnCopyAsEmf, {13, 104, 145, 42}},
      {form.btnSaveAsEmf, {13, 149, 145, 42}},
      {form.btnFont, {193, 9, 100, 38}},
      {form.btnStrokeColor, {193, 51, 100, 38}},
      {form.lblStrokeColor, {297, 8, 57, 81}},
      {form.lblFillColor, {309, 20, 33, 57}},
      {form.chbTransparent, {371, 19, 136, 25}},
      {form.Label2, {368, 48, 145, 41}},
      {form.chbFukuromoji, {371, 55, 18, 25}},
      {form.ImageFukuromoji, {408, 51, 80, 35}},
      {form.Bevel4, {200, 96, 305, 110}},
      {form.trbStrokeWidth, {210, 117, 276, 25}},
      {form.RadioGroupLineJoin, {213, 160, 201, 41}},
      {form.edtMiterLimit, {424, 175, 41, 23}},
      {form.UpDownMiterLimit, {465, 175, 16, 23}},
      {form.Bevel2, {8, 8, 193, 121}},
      {form.trbResolution, {10, 32, 177, 25}},
      {form.Label1, {16, 72, 183, 48}},
      {form.GroupBoxShortCut, {226, 8, 164, 121}},
      {form.chbShortCutDesktop, {11, 32, 97, 17}},
      {form.chbShortCutStart, {11, 56, 134, 17}},
      {form.btnShortCut, {32, 84, 97, 28}},
  };
  for (const auto& [w, rect] : places) EXPECT_EQ(Geometry(w), rect) << w->metaObject()->className();
  EXPECT_EQ(form.lblStrokeWidth->pos(), QPoint(218, 101));
  EXPECT_EQ(form.lblResolution->pos(), QPoint(18, 16));
  EXPECT_EQ(form.Label3->pos(), QPoint(419, 161));
  EXPECT_EQ(form.Image1->size(), QSize(73, 33));
}

TEST_F(FormTest, CaptionsFontsHintsAndStartValues) {
  EXPECT_EQ(form.PageControl1->tabText(0), "テキスト入力");
  EXPECT_EQ(form.PageControl1->tabText(1), "プレビュー");
  EXPECT_EQ(form.PageControl1->tabText(2), "その他の設定");
  EXPECT_EQ(form.btnSVG->text(), "SVG作成");
  EXPECT_EQ(form.btnCopyAsEmf->text(), "拡張メタファイル\nとしてコピー");
  EXPECT_EQ(form.btnSaveAsEmf->text(), "拡張メタファイル\nとして保存");
  EXPECT_EQ(form.chbSVGView->text(), "変換後のSVGを開く");
  EXPECT_EQ(form.chbTransparent->text(), "塗りを透明にする");
  EXPECT_EQ(form.RadioGroupLineJoin->title(), "輪郭線の接合形式");
  EXPECT_EQ(form.LineJoinItems->button(0)->text(), "マイター");
  EXPECT_EQ(form.LineJoinItems->button(1)->text(), "ラウンド");
  EXPECT_EQ(form.LineJoinItems->button(2)->text(), "ベベル");
  EXPECT_EQ(form.GroupBoxShortCut->title(), "ショートカットの作成");
  EXPECT_EQ(form.lblTitle->text(), "GLYPHOR \nVer. 1.0 A2 ");
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅");
  EXPECT_EQ(form.lblResolution->text(), "解像度");

  EXPECT_EQ(form.btnSVG->font().family(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(form.btnSVG->font().pixelSize(), 15);
  EXPECT_TRUE(form.btnSVG->font().bold());
  EXPECT_EQ(form.btnSVG->palette().color(QPalette::ButtonText), QColor(Qt::red));
  EXPECT_EQ(form.btnCopyAsEmf->palette().color(QPalette::ButtonText), QColor(Qt::blue));
  EXPECT_EQ(form.btnSaveAsEmf->palette().color(QPalette::ButtonText), QColor(255, 0, 255));
  EXPECT_EQ(form.RadioGroupLineJoin->font().pixelSize(), 12);
  EXPECT_TRUE(form.chbShortCutStart->font().bold());
  EXPECT_EQ(form.lblTitle->font().family(), "Times New Roman");
  EXPECT_EQ(form.lblTitle->font().pixelSize(), 24);
  EXPECT_TRUE(form.lblTitle->font().italic());
  EXPECT_EQ(form.lblTitle->palette().color(QPalette::WindowText), QColor(Qt::green));
  EXPECT_EQ(form.lblCopyRight->font().pixelSize(), 13);
  EXPECT_EQ(form.lblCopyRight->palette().color(QPalette::WindowText), QColor(Qt::yellow));

  EXPECT_EQ(form.lblStrokeColor->toolTip(), "輪郭線の色");
  EXPECT_EQ(form.lblFillColor->toolTip(), "塗りの色");
  for (QWidget* w : {static_cast<QWidget*>(form.Label2), static_cast<QWidget*>(form.chbFukuromoji),
                     static_cast<QWidget*>(form.ImageFukuromoji)})
    EXPECT_EQ(w->toolTip(), "輪郭線を太くしても、必ず袋文字になります");
  EXPECT_TRUE(form.btnSVG->toolTip().isEmpty());
  for (QWidget* w : {static_cast<QWidget*>(form.lblStrokeColor), static_cast<QWidget*>(form.lblFillColor),
                     static_cast<QWidget*>(form.lblTitle), static_cast<QWidget*>(form.lblCopyRight)})
    EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);

  EXPECT_EQ(form.Memo1->toPlainText(), "GLYPHOR");
  EXPECT_EQ(form.Memo1->font().pixelSize(), 133);
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Base), QColor(Qt::black));
  EXPECT_TRUE(form.chbSVGView->isChecked());
  EXPECT_FALSE(form.chbTransparent->isChecked());
  EXPECT_FALSE(form.chbFukuromoji->isChecked());
  EXPECT_TRUE(form.LineJoinItems->button(0)->isChecked());
  EXPECT_EQ(form.edtMiterLimit->text(), "4");
  EXPECT_TRUE(form.edtMiterLimit->isReadOnly());
  EXPECT_TRUE(form.btnShortCut->isEnabled());
}

TEST_F(FormTest, TabOrderRunsThroughTheSettingsPanelBeforeThePages) {
  const std::vector<QWidget*> expected = {form.btnSVG,
                                          form.chbSVGView,
                                          form.btnFont,
                                          form.trbStrokeWidth,
                                          form.btnStrokeColor,
                                          form.chbTransparent,
                                          form.chbFukuromoji,
                                          form.LineJoinItems->button(0),
                                          form.btnCopyAsEmf,
                                          form.edtMiterLimit,
                                          form.btnSaveAsEmf,
                                          form.Memo1,
                                          form.trbResolution,
                                          form.btnShortCut,
                                          form.chbShortCutDesktop,
                                          form.chbShortCutStart,
                                          form.chbCutReady};
  std::vector<QWidget*> seen;
  QWidget* w = form.btnSVG;
  for (int i = 0; i < 500 && seen.size() < expected.size(); ++i, w = w->nextInFocusChain()) {
    const bool listed = std::find(expected.begin(), expected.end(), w) != expected.end();
    if (listed && std::find(seen.begin(), seen.end(), w) == seen.end()) seen.push_back(w);
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(FormTest, TrackBarsAndUpDownHaveTheirRanges) {
  const auto check = [](QSlider* bar, int min, int max, int pos) {
    EXPECT_EQ(bar->minimum(), min);
    EXPECT_EQ(bar->maximum(), max);
    EXPECT_EQ(bar->value(), pos);
    EXPECT_EQ(bar->tickInterval(), 50);
    EXPECT_EQ(bar->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(bar->singleStep(), 1);
    EXPECT_EQ(bar->pageStep(), 2);
  };
  check(form.trbStrokeWidth, 0, 1000, 50);
  check(form.trbResolution, 400, 1200, 400);
  EXPECT_EQ(form.UpDownMiterLimit->Min(), 1);
  EXPECT_EQ(form.UpDownMiterLimit->Max(), 100);

  // The arrows stop at the ends, without wrapping round.
  form.Settings().SetMiterLimit(99);
  PressKey(form.edtMiterLimit, Qt::Key_Up);
  PressKey(form.edtMiterLimit, Qt::Key_Up);
  EXPECT_EQ(form.edtMiterLimit->text(), "100");
  form.Settings().SetMiterLimit(1);
  PressKey(form.edtMiterLimit, Qt::Key_Down);
  EXPECT_EQ(form.edtMiterLimit->text(), "1");
  EXPECT_EQ(form.Settings().Values().MiterLimit, 1);
}

TEST_F(FormTest, PreviewRebuildsOncePerNotificationOnlyWhileThePreviewShows) {
  // On the text page nothing rebuilds.
  form.Settings().SetStrokeWidth(120);
  form.chbTransparent->click();
  EXPECT_EQ(services.builds, 0);

  OnPreviewPage();
  form.Settings().SetStrokeWidth(120);  // the same value: no notification
  EXPECT_EQ(services.builds, 0);
  form.trbStrokeWidth->setValue(130);  // a step by the user
  EXPECT_EQ(services.builds, 1);
  emit form.trbStrokeWidth->sliderReleased();  // the drag ends where it was
  EXPECT_EQ(services.builds, 2);
  // A step by key: the step, then the end of the movement at the key's release.
  PressKey(form.trbStrokeWidth, Qt::Key_Right);
  EXPECT_EQ(form.Settings().Values().StrokeWidth, 131);
  EXPECT_EQ(services.builds, 3);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
  QCoreApplication::sendEvent(form.trbStrokeWidth, &release);
  EXPECT_EQ(services.builds, 4);
  services.builds = 2;
  form.trbResolution->setValue(800);
  EXPECT_EQ(services.builds, 3);
  form.chbTransparent->click();
  EXPECT_EQ(services.builds, 4);
  form.LineJoinItems->button(2)->click();
  EXPECT_EQ(services.builds, 5);
  form.LineJoinItems->button(2)->click();  // already selected
  EXPECT_EQ(services.builds, 5);
  PressKey(form.edtMiterLimit, Qt::Key_Up);
  EXPECT_EQ(services.builds, 6);
  // Editing the text, the viewer box and the cut-ready box never rebuild:
  // cut-ready regions look like the preview.
  form.Memo1->setPlainText("ABC");
  form.chbSVGView->click();
  form.chbCutReady->click();
  EXPECT_EQ(services.builds, 6);
  EXPECT_EQ(form.Settings().Values().Text, "ABC");
  EXPECT_FALSE(form.Settings().Values().ViewAfterSave);
  EXPECT_TRUE(form.Settings().Values().CutReady);
  form.Settings().SetCutReady(false);  // a loaded file shows in the box
  EXPECT_FALSE(form.chbCutReady->isChecked());
}

TEST_F(FormTest, PageChangesByTheUserRunTheirHandlerThoseByTheProgramDoNot) {
  form.SetActivePage(form.TabPreview);
  form.SetActivePage(form.TabOption);
  EXPECT_EQ(services.builds, 0);
  EXPECT_TRUE(form.btnShortCut->isEnabled());  // design state until the user comes

  form.PageControl1->setCurrentWidget(form.TabPreview);  // as a tab click does
  EXPECT_EQ(services.builds, 1);
  form.PageControl1->setCurrentWidget(form.TabOption);
  EXPECT_FALSE(form.btnShortCut->isEnabled());
  form.chbShortCutStart->click();
  EXPECT_TRUE(form.btnShortCut->isEnabled());
  form.chbShortCutStart->click();
  EXPECT_FALSE(form.btnShortCut->isEnabled());
}

TEST_F(FormTest, FukuromojiUntickingTransparentRebuildsTwiceAndLocksTheBox) {
  form.chbTransparent->click();
  OnPreviewPage();
  form.chbFukuromoji->click();
  EXPECT_EQ(services.builds, 2);
  EXPECT_FALSE(form.chbTransparent->isChecked());
  EXPECT_FALSE(form.chbTransparent->isEnabled());
  EXPECT_FALSE(form.Settings().Values().TransparentFill);

  form.chbFukuromoji->click();
  EXPECT_EQ(services.builds, 3);
  EXPECT_TRUE(form.chbTransparent->isEnabled());
  EXPECT_FALSE(form.chbTransparent->isChecked());

  // With the box already unticked, ticking fukuromoji rebuilds once.
  form.chbFukuromoji->click();
  EXPECT_EQ(services.builds, 4);
}

TEST_F(FormTest, LabelsShowBothEndsOfEachBarFromTheWindowsShowOn) {
  form.show();
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：0.5000(mm)");
  EXPECT_EQ(form.lblResolution->text(), "解像度：400(dpi)");
  form.Settings().SetStrokeWidth(0);
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：0.0000(mm)");
  form.Settings().SetStrokeWidth(5);
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：0.0500(mm)");
  form.Settings().SetStrokeWidth(5000);
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：10.0000(mm)");
  EXPECT_EQ(form.trbStrokeWidth->value(), 1000);
  form.Settings().SetResolution(1200);
  EXPECT_EQ(form.lblResolution->text(), "解像度：1200(dpi)");
  form.Settings().SetResolution(100);
  EXPECT_EQ(form.lblResolution->text(), "解像度：400(dpi)");
  // The label sizes itself to its text.
  EXPECT_GE(form.lblStrokeWidth->width(), form.lblStrokeWidth->sizeHint().width());
}

TEST_F(FormTest, LineJoinFromTheProgramMayLeaveNoItemSelected) {
  form.Settings().SetLineJoin(-1);
  for (QAbstractButton* b : form.LineJoinItems->buttons()) EXPECT_FALSE(b->isChecked());
  form.Settings().SetLineJoin(7);
  EXPECT_TRUE(form.LineJoinItems->button(2)->isChecked());
}

TEST_F(FormTest, ColourChoicesUpdateAllThreePlacesAndCancelChangesNothing) {
  OnPreviewPage();
  emit form.lblStrokeColor->clicked();  // cancelled
  EXPECT_EQ(services.builds, 0);
  EXPECT_EQ(form.Settings().Values().StrokeColor, 0u);
  ASSERT_EQ(services.colorAsked.size(), 1u);
  EXPECT_EQ(services.colorAsked[0], QColor(Qt::black));

  services.colorAnswer = QColor(255, 128, 0);
  form.btnStrokeColor->click();
  EXPECT_EQ(form.Settings().Values().StrokeColor, 0x0080FFu);
  EXPECT_EQ(form.lblStrokeColor->palette().color(QPalette::Window), QColor(255, 128, 0));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Base), QColor(255, 128, 0));
  EXPECT_EQ(form.btnStrokeColor->palette().color(QPalette::ButtonText), QColor(255, 128, 0));
  EXPECT_EQ(services.builds, 1);

  services.colorAnswer = QColor(0, 0, 255);
  emit form.lblFillColor->clicked();
  EXPECT_EQ(services.colorAsked.back(), QColor(Qt::red));
  EXPECT_EQ(form.Settings().Values().Font.Color, 0xFF0000u);
  EXPECT_EQ(form.lblFillColor->palette().color(QPalette::Window), QColor(Qt::blue));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(Qt::blue));
  EXPECT_EQ(form.btnFont->palette().color(QPalette::ButtonText), QColor(Qt::blue));
  EXPECT_EQ(services.builds, 2);

  // A system colour shows as its RGB.
  form.Settings().SetStrokeColor(0x8000000F);
  EXPECT_EQ(form.lblStrokeColor->palette().color(QPalette::Window), QColor(240, 240, 240));
}

TEST_F(FormTest, FontChoiceSetsTheMemoFontAndTheFillColour) {
  OnPreviewPage();
  form.btnFont->click();  // cancelled
  EXPECT_EQ(services.builds, 0);
  EXPECT_EQ(form.Settings().Values().Font.Name, "ＭＳ Ｐゴシック");

  TFontSpec chosen;
  chosen.Name = "DejaVu Sans";
  chosen.Size = 50;
  chosen.Style = fsBold | fsUnderline;
  chosen.Color = 0x008000;
  services.fontAnswer = chosen;
  form.btnFont->click();
  EXPECT_EQ(services.builds, 1);
  EXPECT_EQ(form.Memo1->font().family(), "DejaVu Sans");
  EXPECT_EQ(form.Memo1->font().pixelSize(), 67);
  EXPECT_TRUE(form.Memo1->font().bold());
  EXPECT_TRUE(form.Memo1->font().underline());
  EXPECT_FALSE(form.Memo1->font().italic());
  EXPECT_EQ(form.lblFillColor->palette().color(QPalette::Window), QColor(0, 128, 0));
  EXPECT_EQ(form.btnFont->palette().color(QPalette::ButtonText), QColor(0, 128, 0));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(0, 128, 0));

  // Accepting the same font still rebuilds the preview.
  form.btnFont->click();
  EXPECT_EQ(services.builds, 2);
}

TEST_F(FormTest, SvgSaveRemembersTheFolderBeforeWriting) {
  form.Settings().SetSvgDir("/work/pics/");
  form.btnSVG->click();  // cancelled
  ASSERT_EQ(services.saveRequests.size(), 1u);
  const SaveRequest& r = services.saveRequests[0];
  EXPECT_EQ(r.FileName, "Untitled");
  EXPECT_EQ(r.DefaultSuffix, "svg");
  EXPECT_EQ(r.Filter, "SVG (*.svg)");
  EXPECT_EQ(r.Directory, "/work/pics");
  EXPECT_TRUE(services.svgWrites.empty());
  EXPECT_EQ(form.Settings().SvgDir(), "/work/pics/");

  services.saveAnswer = "/a.svg";
  form.btnSVG->click();
  EXPECT_EQ(form.Settings().SvgDir(), "/");
  ASSERT_EQ(services.svgWrites.size(), 1u);
  EXPECT_EQ(services.svgWrites[0], "/a.svg");
  EXPECT_EQ(services.saveRequests.back().Directory, "/work/pics");

  // A failed write still changes the folder; the error is reported with its
  // full stop and the window goes on working.
  services.svgFails = true;
  services.saveAnswer = "/nowhere/deep/b.svg";
  form.btnSVG->click();
  EXPECT_EQ(form.Settings().SvgDir(), "/nowhere/deep");
  ASSERT_EQ(services.errors.size(), 1u);
  EXPECT_EQ(services.errors[0], "ファイル /nowhere/deep/b.svg を作成できません");
  services.svgFails = false;
  form.btnSVG->click();
  EXPECT_EQ(services.svgWrites.size(), 3u);
  EXPECT_EQ(services.saveRequests.back().Directory, "/nowhere/deep");
}

TEST_F(FormTest, EmfSaveWritesThePictureAndRemembersItsFolder) {
  TempDir dir;
  form.Settings().SetEmfDir("/old");
  form.btnSaveAsEmf->click();  // cancelled: no picture, no folder change
  EXPECT_EQ(services.builds, 0);
  EXPECT_EQ(form.Settings().EmfDir(), "/old");
  EXPECT_EQ(services.saveRequests[0].Filter, "拡張メタファイル (*.emf)");
  EXPECT_EQ(services.saveRequests[0].DefaultSuffix, "emf");
  EXPECT_EQ(services.saveRequests[0].FileName, "Untitled");

  services.saveAnswer = dir / "pic.emf";
  form.btnSaveAsEmf->click();
  EXPECT_EQ(form.Settings().EmfDir(), dir.path());
  EXPECT_EQ(ReadFile(dir / "pic.emf"), "EMF");

  services.saveAnswer = dir / "missing/pic.emf";
  form.btnSaveAsEmf->click();
  EXPECT_EQ(form.Settings().EmfDir(), dir / "missing");
  ASSERT_EQ(services.errors.size(), 1u);
  EXPECT_NE(services.errors[0].find("を作成できません"), std::string::npos);
}

TEST_F(FormTest, CopyPutsTheBuiltPictureOnTheClipboard) {
  services.pictureBytes = {1, 2, 3, 4};
  form.btnCopyAsEmf->click();
  ASSERT_EQ(services.copied.size(), 1u);
  EXPECT_EQ(services.copied[0], (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(FormTest, ShortcutsAndLinksDoWhatWasChosen) {
  form.chbShortCutDesktop->click();
  form.chbShortCutStart->click();
  form.btnShortCut->click();
  EXPECT_EQ(services.shortcuts, (std::vector<std::string>{"GLYPHOR 1.0A2@DESKTOP", "GLYPHOR 1.0A2@PROGRAMS"}));
  EXPECT_TRUE(form.chbShortCutDesktop->isChecked());

  emit form.lblTitle->clicked();
  emit form.lblCopyRight->clicked();
  EXPECT_TRUE(services.urls.empty());
  EXPECT_EQ(services.confirmations,
            (std::vector<QString>{"《Quillhaven》 のサイトにアクセスしますか？", "作者にメールしますか？"}));
  services.confirmAnswer = true;
  emit form.lblTitle->clicked();
  emit form.lblCopyRight->clicked();
  ASSERT_EQ(services.urls.size(), 2u);
  EXPECT_EQ(services.urls[0], WebPageUrl());
  EXPECT_EQ(services.urls[1], SupportMailUrl());
}

TEST_F(FormTest, EnterInsertsNoLineBreakButPastedTextKeepsOne) {
  form.Memo1->moveCursor(QTextCursor::End);
  PressKey(form.Memo1, Qt::Key_Return);
  PressKey(form.Memo1, Qt::Key_Enter);
  EXPECT_EQ(form.Memo1->toPlainText(), "GLYPHOR");
  form.Memo1->insertPlainText("\nX");
  EXPECT_EQ(form.Settings().Values().Text, "GLYPHOR\nX");
  EXPECT_EQ(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
}

// Real key presses on the shown, active window.
class FormKeyboardTest : public FormTest {
 protected:
  void SetUp() override {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  QWidget* Focus() const { return QApplication::focusWidget(); }
};

TEST_F(FormKeyboardTest, TabLeavesTheMemoAndNoTabCharacterIsStored) {
  form.Memo1->setFocus();
  form.Memo1->moveCursor(QTextCursor::End);
  QTest::keyClick(form.Memo1, Qt::Key_Tab);
  EXPECT_EQ(Focus(), form.btnSVG) << (Focus() ? Focus()->metaObject()->className() : "none") << " "
                                  << (Focus() ? Focus()->objectName().toStdString()
                                              : "");  // the pages' other controls are hidden; round to the first
  form.Memo1->setFocus();
  QTest::keyClick(form.Memo1, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), form.PageControl1->tabBar());
  form.Memo1->setFocus();
  QTest::keyClick(form.Memo1, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(form.Memo1->toPlainText(), "GLYPHOR");

  // Pasted with Ctrl+V: the tabs go, the rest stays.
  QGuiApplication::clipboard()->setText(QStringLiteral("\tGL\t\tYPH\tOR"));
  form.Memo1->selectAll();
  form.Memo1->setFocus();
  QTest::keyClick(form.Memo1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form.Memo1->toPlainText(), "GLYPHOR");
  EXPECT_EQ(form.Settings().Values().Text, "GLYPHOR");
  // Any other way in (an input method) still stores none.
  form.Memo1->insertPlainText(QStringLiteral("\t!"));
  EXPECT_EQ(form.Settings().Values().Text, "GLYPHOR!");
}

TEST_F(FormKeyboardTest, TabAndShiftTabEnterTheLineJoinGroupOnTheSelectedItem) {
  QAbstractButton* const miter = form.LineJoinItems->button(0);
  QAbstractButton* const round = form.LineJoinItems->button(1);
  QAbstractButton* const bevel = form.LineJoinItems->button(2);
  form.btnCopyAsEmf->setFocus();
  QTest::keyClick(form.btnCopyAsEmf, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), miter);

  form.Settings().SetLineJoin(1);  // as a settings file would
  form.btnCopyAsEmf->setFocus();
  QTest::keyClick(form.btnCopyAsEmf, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), round);
  form.chbFukuromoji->setFocus();
  QTest::keyClick(form.chbFukuromoji, Qt::Key_Tab);
  EXPECT_EQ(Focus(), round);
  QTest::keyClick(round, Qt::Key_Tab);
  EXPECT_EQ(Focus(), form.btnCopyAsEmf);

  // The arrows select the next item; the group is then entered there.
  round->setFocus();
  QTest::keyClick(round, Qt::Key_Right);
  EXPECT_EQ(Focus(), bevel);
  EXPECT_EQ(form.Settings().Values().LineJoin, 2);
  form.btnCopyAsEmf->setFocus();
  QTest::keyClick(form.btnCopyAsEmf, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), bevel);
}

// Shrunk far below its design size, the window keeps every tab and control
// of the settings panel and the settings page inside it.
TEST_F(FormTest, MinimumSizeKeepsEveryControlInside) {
  form.show();
  form.resize(300, 200);
  EXPECT_GE(form.width(), 536);
  form.SetActivePage(form.TabOption);
  QCoreApplication::processEvents();
  const QRect inside = form.rect();
  QTabBar* tabs = form.PageControl1->tabBar();
  for (int i = 0; i < tabs->count(); ++i)
    EXPECT_TRUE(inside.contains(QRect(tabs->mapTo(&form, tabs->tabRect(i).topLeft()), tabs->tabRect(i).size()))) << i;
  for (QWidget* parent : {form.Panel2, form.TabOption})
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QRect r(w->mapTo(&form, QPoint(0, 0)), w->size());
      EXPECT_TRUE(inside.contains(r)) << w->metaObject()->className() << " at " << r.x() << "," << r.y();
    }
}

TEST(FormSettingsTest, LoadedAtStartAndWrittenAtCloseKeepingOtherSections) {
  TempDir dir;
  const std::string ini = dir / "glyphor.ini";
  WriteFile(ini,
            "[Mine]\nKeep=this\n[Font]\nFontTransparent=1\nFontFukuromoji=1\nFontStrokeWidth=250\n"
            "FontStrokeColor=clBlue\n[SVG]\nResolution=1000\nSVGDir=/svgs\n");
  FakeServices services;
  {
    TForm1 form(96, services, ini);
    form.FormCreate();
    EXPECT_EQ(form.PageControl1->currentWidget(), form.TabTXTInput);
    EXPECT_EQ(form.trbStrokeWidth->value(), 250);
    EXPECT_EQ(form.trbResolution->value(), 1000);
    EXPECT_TRUE(form.chbFukuromoji->isChecked());
    EXPECT_FALSE(form.chbTransparent->isChecked());
    EXPECT_FALSE(form.chbTransparent->isEnabled());
    EXPECT_EQ(form.Memo1->palette().color(QPalette::Base), QColor(Qt::blue));
    EXPECT_EQ(form.Settings().SvgDir(), "/svgs");
    form.show();
    EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：2.5000(mm)");

    form.trbStrokeWidth->setValue(300);
    form.chbFukuromoji->click();
    form.close();
  }
  const std::string saved = ReadFile(ini);
  EXPECT_NE(saved.find("[Mine]\nKeep=this\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("FontStrokeWidth=300"), std::string::npos) << saved;
  EXPECT_NE(saved.find("FontFukuromoji=0"), std::string::npos) << saved;
  EXPECT_NE(saved.find("SVGDir=/svgs"), std::string::npos) << saved;
  EXPECT_TRUE(services.errors.empty());
}

TEST(FormSettingsTest, AnUnreadableColourIsReportedAndTheWindowStillOpens) {
  TempDir dir;
  const std::string ini = dir / "glyphor.ini";
  WriteFile(ini, "[Font]\nFontSize=50\nFontColor=red\nFontStrokeWidth=700\n");
  FakeServices services;
  TForm1 form(96, services, ini);
  form.FormCreate();
  ASSERT_EQ(services.errors.size(), 1u);
  EXPECT_EQ(services.errors[0], "'red' は整数ではありません");
  EXPECT_EQ(form.Memo1->font().pixelSize(), 67);  // read before the colour
  EXPECT_EQ(form.trbStrokeWidth->value(), 50);    // after it: not read
  EXPECT_EQ(form.PageControl1->currentWidget(), form.TabTXTInput);
  form.show();
  form.trbStrokeWidth->setValue(80);
  EXPECT_EQ(form.lblStrokeWidth->text(), "輪郭線の幅：0.8000(mm)");
}

TEST(FormSettingsTest, AnUnwritableSettingsFileClosesSilently) {
  TempDir dir;
  WriteFile(dir / "file", "");
  FakeServices services;
  TForm1 form(96, services, dir / "file/glyphor.ini");  // a file where the folder would be
  EXPECT_TRUE(form.FormCloseQuery());
  EXPECT_TRUE(services.errors.empty());
}

TEST(FormPreviewTest, RealPreviewShowsThePictureAtScreenSizeAndClearsOnFailure) {
  FakeServices services;
  services.realPictures = true;
  TForm1 form(96, services);
  TFontSpec font;
  font.Name = "DejaVu Sans";
  form.Settings().SetFont(font);
  form.PageControl1->setCurrentWidget(form.TabPreview);
  ASSERT_TRUE(services.errors.empty()) << services.errors[0];
  const QImage image = form.Image1->Shown();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(form.Image1->size(), image.size());
  EXPECT_GT(image.width(), image.height());
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
  // What the window paints is that picture, drawn as the scroll area shows it.
  EXPECT_EQ(form.Image1->grab().toImage().convertToFormat(QImage::Format_RGB32), image);
  MetafilePicture picture;
  BuildMetafile(picture, form.Settings().Values(), 96);
  EXPECT_EQ(image, RenderPreview(picture, 96));

  // A failing build leaves the preview empty, not showing the old picture,
  // and the error report says why.
  services.realPictures = false;
  struct Failing : FakeServices {
    void BuildPicture(MetafilePicture&, const ConversionSettings&, int) override { throw EOutOfResources(); }
  } failing;
  TForm1 second(96, failing);
  MetafilePicture old;
  BuildMetafile(old, ConversionSettings{}, 96);
  second.Image1->SetPicture(std::make_unique<PreviewPicture>(old, 96), 1);
  ASSERT_FALSE(second.Image1->IsEmpty());
  second.PageControl1->setCurrentWidget(second.TabPreview);
  EXPECT_TRUE(second.Image1->IsEmpty());
  ASSERT_EQ(failing.errors.size(), 1u);
  EXPECT_EQ(failing.errors[0], "システム リソースが足りません");
}

TEST(FormPreviewTest, FukuromojiSampleIsRedLettersWithABlackOutlineOnLime) {
  FakeServices services;
  services.realPictures = true;
  TForm1 form(96, services);
  const QImage sample = form.ImageFukuromoji->pixmap().toImage();
  ASSERT_EQ(sample.size(), QSize(80, 35));
  EXPECT_EQ(sample.pixelColor(0, 0), QColor(Qt::green));
  int red = 0, black = 0;
  for (int y = 0; y < sample.height(); ++y)
    for (int x = 0; x < sample.width(); ++x) {
      const QColor c = sample.pixelColor(x, y);
      red += c == QColor(Qt::red);
      black += c == QColor(Qt::black);
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(black, 20);

  // Without pictures the sample stays blank.
  FakeServices none;
  TForm1 blank(96, none);
  EXPECT_TRUE(blank.ImageFukuromoji->pixmap().isNull());
}

}  // namespace

TEST(FormFontsTest, WindowsFacesShowAsTheFacesTheOutlinesComeFrom) {
  EXPECT_EQ(QFontInfo(QFont(QString::fromUtf8("ＭＳ Ｐゴシック"))).family(), "IPAPGothic");
  EXPECT_EQ(QFontInfo(QFont("Times New Roman")).family(), "Liberation Serif");
}

// IPAPGothic has no bold style: the outlines embolden it. The memo shows the
// bold text as much heavier than the regular as the preview does (Qt alone
// fakes bold only below 64 pixels, and the memo's letters are 133).
TEST(FormFontsTest, MemoShowsSyntheticBoldAsHeavyAsTheOutlines) {
  FakeServices services;
  services.realPictures = true;
  TForm1 form(96, services);
  form.resize(1400, 700);  // room for the 133-pixel letters
  form.show();
  form.Settings().SetText("GLY");
  form.Settings().SetStrokeWidth(0);
  const auto redInk = [](const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        n += c.red() > 128 && c.green() < 80 && c.blue() < 80;
      }
    return n;
  };
  struct Ink {
    int memo, preview;
  };
  const auto inkFor = [&](uint8_t style) {
    TFontSpec font;
    font.Name = "IPAPGothic";
    font.Style = style;
    form.Settings().SetFont(font);
    QCoreApplication::processEvents();
    form.UpdatePreview();
    return Ink{redInk(form.Memo1->viewport()->grab().toImage()), redInk(form.Image1->Shown())};
  };
  const Ink regular = inkFor(0), bold = inkFor(fsBold);
  ASSERT_GT(regular.memo, 1000);
  ASSERT_GT(regular.preview, 1000);
  const double outlines = double(bold.preview) / regular.preview, memo = double(bold.memo) / regular.memo;
  EXPECT_GT(outlines, 1.15);
  EXPECT_NEAR(memo, outlines, 0.1 * outlines) << "memo " << memo << ", outlines " << outlines;
}
