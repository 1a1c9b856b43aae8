// SPDX-License-Identifier: MIT
// The window's smaller parts: message texts and caption, the remembered
// folder rule, colour conversion, the font dialog, the clipboard entry, the
// display check, and what the application is given (Qt's Japanese texts,
// icon, link targets).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <vector>

#include "core/output/clipboard_formats.h"
#include "core/platform/errors.h"
#include "gui/window/application.h"
#include "gui/window/clipboard.h"
#include "gui/window/font_dialog.h"
#include "gui/window/message_boxes.h"
#include "gui/window/qt_colors.h"
#include "gui/window/save_dialog.h"
#include "gui/window/window_images.h"
#include "support/test_support.h"

using namespace glyphor;

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "window_parts_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

TEST(MessageTextTest, FullStopIsAddedAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorText("クリップボードを開くことができません"), "クリップボードを開くことができません.");
  EXPECT_EQ(ErrorText("abc"), "abc.");
  EXPECT_EQ(ErrorText("done."), "done.");
  EXPECT_EQ(ErrorText("(12)"), "(12)");  // ")" is below "."
  EXPECT_EQ(ErrorText("a-"), "a-");      // "-" is below "."
  EXPECT_EQ(ErrorText("a/"), "a/.");     // "/" is above "."
  EXPECT_EQ(ErrorText(""), "");
}

TEST(MessageTextTest, CaptionIsTheExecutablesNameUpToItsFirstDot) {
  EXPECT_EQ(ProgramTitle("/usr/bin/glyphor"), "Glyphor");
  EXPECT_EQ(ProgramTitle("/opt/GLYPHOR.EXE"), "Glyphor");
  EXPECT_EQ(ProgramTitle("/a.b/tool.x.y"), "Tool");
  EXPECT_EQ(ProgramTitle("glyphor"), "Glyphor");
}

TEST(SaveFolderTest, FolderPartAndStartFolder) {
  EXPECT_EQ(FolderPart("/a.svg"), "/");
  EXPECT_EQ(FolderPart("/home/user/pics/a.svg"), "/home/user/pics");
  EXPECT_EQ(FolderPart("/home/user//a.svg"), "/home/user");
  EXPECT_EQ(FolderPart("a.svg"), "");
  EXPECT_EQ(FolderPart("rel/a.emf"), "rel");
  EXPECT_EQ(StartFolder("/work/"), "/work");
  EXPECT_EQ(StartFolder("/"), "/");
  EXPECT_EQ(StartFolder(""), "");
}

TEST(ColorConversionTest, RedIsTheLowByteAndSystemColoursResolve) {
  EXPECT_EQ(ToQColor(0x000080FF), QColor(255, 128, 0));
  EXPECT_EQ(ToQColor(0x00FF0000), QColor(0, 0, 255));
  EXPECT_EQ(ToQColor(0x8000000F), QColor(240, 240, 240));
  EXPECT_EQ(ToQColor(0x1FFFFFFF), QColor(255, 255, 255));  // clNone: its low bytes
  EXPECT_EQ(FromQColor(QColor(255, 128, 0)), 0x000080FFu);
  EXPECT_EQ(FromQColor(QColor(1, 2, 3, 10)), 0x00030201u);
}

TEST(FontDialogTest, OkWithoutChangesGivesTheFontBackUnchanged) {
  TFontDialog dialog;
  TFontSpec font;
  font.Name = "No Such Face Anywhere";
  font.Size = 23;
  font.Style = fsItalic | fsStrikeOut | 0x30;  // bits 4 and 5 carried along
  font.Color = 0x000080FF;                     // not one of the sixteen
  font.Charset = 77;                           // not offered by name
  dialog.SetFont(font);
  const TFontSpec back = dialog.Font();
  EXPECT_EQ(back.Name, font.Name);
  EXPECT_EQ(back.Size, 23);
  EXPECT_EQ(back.Style, font.Style);
  EXPECT_EQ(back.Color, font.Color);
  EXPECT_EQ(back.Charset, 77);
}

TEST(FontDialogTest, ControlsMapToStyleBitsColourAndCharacterSet) {
  TFontDialog dialog;
  TFontSpec font;
  font.Size = 5000;  // no size limits
  dialog.SetFont(font);
  EXPECT_EQ(dialog.Font().Size, 5000);
  EXPECT_EQ(dialog.ScriptBox()->currentText(), "日本語");

  dialog.StyleBox()->setCurrentIndex(3);  // bold italic
  dialog.UnderlineBox()->setChecked(true);
  dialog.ColorBox()->setCurrentIndex(dialog.ColorBox()->findText("青"));
  dialog.ScriptBox()->setCurrentIndex(dialog.ScriptBox()->findText("キリル言語"));
  const TFontSpec f = dialog.Font();
  EXPECT_EQ(f.Style, fsBold | fsItalic | fsUnderline);
  EXPECT_EQ(f.Color, 0x00FF0000u);
  EXPECT_EQ(f.Charset, 204);
  EXPECT_EQ(dialog.ColorBox()->count(), 16);

  std::vector<int> numbers;
  for (int i = 0; i < dialog.ScriptBox()->count(); ++i) numbers.push_back(dialog.ScriptBox()->itemData(i).toInt());
  EXPECT_EQ(numbers, (std::vector<int>{0, 1, 128, 129, 134, 136, 161, 162, 177, 178, 186, 204, 222, 238}));
}

TEST(ClipboardTest, OnlyTheMetafileBytesUnderTheEmfNames) {
  const std::vector<uint8_t> emf = {1, 0, 0, 0, 0x20, 0x45, 0x4D, 0x46};
  std::unique_ptr<QMimeData> data(MetafileMimeData(emf));
  QStringList expected;
  for (std::string_view t : EmfClipboardMimeTypes) expected << QString::fromUtf8(t.data(), t.size());
  EXPECT_EQ(data->formats(), expected);
  for (const QString& f : expected)
    EXPECT_EQ(data->data(f), QByteArray(reinterpret_cast<const char*>(emf.data()), emf.size()));
}

TEST(ClipboardTest, CopyReplacesWhateverTheClipboardHeld) {
  QGuiApplication::clipboard()->setText(QStringLiteral("old text"));
  try {
    PutMetafileOnClipboard({9, 8, 7});
  } catch (const EFileError& e) {
    GTEST_SKIP() << "no clipboard on this platform: " << e.what();
  }
  const QMimeData* now = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(now, nullptr);
  EXPECT_FALSE(now->hasText());
  EXPECT_EQ(now->data(QStringLiteral("image/x-emf")), QByteArray("\x09\x08\x07", 3));
}

// Alt and the underlined letter move to the field the label names, with real
// key presses through Qt's shortcut handling.
TEST(FontDialogTest, LabelShortcutsReachTheirFields) {
  TFontDialog dialog;
  dialog.SetFont(TFontSpec{});
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const std::vector<std::pair<Qt::Key, QWidget*>> fields = {{Qt::Key_Y, dialog.StyleBox()},
                                                            {Qt::Key_S, dialog.SizeBox()},
                                                            {Qt::Key_C, dialog.ColorBox()},
                                                            {Qt::Key_R, dialog.ScriptBox()},
                                                            {Qt::Key_K, dialog.StrikeOutBox()}};
  for (const auto& [key, field] : fields) {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), field) << QTest::toString(QKeySequence(key));
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
  EXPECT_NE(qobject_cast<QLineEdit*>(QApplication::focusWidget()), nullptr);
  EXPECT_FALSE(dialog.StrikeOutBox()->isChecked());  // Alt+K went to the box only once
}

// Qt's own dialogs and menus speak the window's language whatever the locale
// (the tests run under C.UTF-8).
TEST(ApplicationTest, QtsOwnDialogsAndMenusAreJapanese) {
  ASSERT_TRUE(InstallJapaneseQtTexts(*QCoreApplication::instance())) << "qt6-translations-l10n is not installed";
  const auto cancelText = [](QWidget& dialog) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
      if (QAbstractButton* cancel = box->button(QDialogButtonBox::Cancel)) return cancel->text();
    return QString();
  };
  QColorDialog colors;
  EXPECT_EQ(cancelText(colors), "キャンセル");
  QFileDialog save;
  save.setOption(QFileDialog::DontUseNativeDialog);
  save.setAcceptMode(QFileDialog::AcceptSave);
  EXPECT_EQ(cancelText(save), "キャンセル");
  // The overwrite question and the memo's context menu.
  const char* const overwrite = "%1 already exists.\nDo you want to replace it?";
  EXPECT_NE(QCoreApplication::translate("QFileDialog", overwrite), QString::fromLatin1(overwrite));
  QPlainTextEdit memo(QStringLiteral("GLYPHOR"));
  std::unique_ptr<QMenu> menu(memo.createStandardContextMenu());
  QStringList texts;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) texts << a->text();
  ASSERT_GE(texts.size(), 5);
  for (const QString& text : texts)  // the shortcut follows a tab
    for (const char* english : {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"})
      EXPECT_FALSE(text.startsWith(QString::fromLatin1(english))) << text.toStdString();
}

// The icon is found beside the program's data (the build tree mirrors the
// installed layout) and Qt can draw it; the title opens the documentation
// folder unless the build names a page, and the mail link stays in the reserved
// .invalid domain unless the build names an address.
TEST(ApplicationTest, IconAndLinkTargetsAreThisProgramsOwn) {
  ASSERT_FALSE(ProgramIconFile().isEmpty());
  EXPECT_FALSE(ProgramIcon().pixmap(64).isNull()) << "Qt cannot draw the SVG icon (libqt6svg6)";

  const QUrl web = WebPageUrl();
  ASSERT_TRUE(web.isValid());
  if (web.isLocalFile()) {
    EXPECT_TRUE(QFileInfo::exists(web.toLocalFile() + "README.md")) << web.toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(web.toLocalFile() + "sample.gly")) << web.toString().toStdString();
  } else {
    EXPECT_EQ(web.scheme(), "https");
  }
  EXPECT_EQ(SupportMailUrl().scheme(), "mailto");
  EXPECT_TRUE(SupportMailUrl().path().contains(u'@'));
}

TEST(TitleGradientTest, RunsFromPaleBlueToNavy) {
  const QImage g = MakeTitleGradient();
  ASSERT_EQ(g.size(), QSize(1, 128));
  EXPECT_EQ(g.pixelColor(0, 0), QColor(204, 204, 255));
  EXPECT_EQ(g.pixelColor(0, 127), QColor(0, 0, 153));
  for (int y = 1; y < 128; ++y) EXPECT_LE(g.pixelColor(0, y).blue(), g.pixelColor(0, y - 1).blue());
}

}  // namespace
