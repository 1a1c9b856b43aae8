// SPDX-License-Identifier: MIT
// The main window's controls with their design values. Places and sizes are
// pixels at the design density and are deliberately not scaled.
#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/platform/system_colors.h"
#include "gui/window/form.h"
#include "gui/window/form_widgets.h"
#include "gui/window/qt_colors.h"
#include "gui/window/window_images.h"

namespace glyphor {

namespace {

constexpr int kBottomPanelHeight = 211;
constexpr int kSettingsPanelWidth = 536;
constexpr int kTitlePanelDesignWidth = 194;
// The narrowest title panel: half the design width still shows the title.
constexpr int kTitlePanelMinWidth = kTitlePanelDesignWidth / 2;
constexpr uint32_t kBtnFace = SystemColorFlag | 15;

const char* const kUiFace = "ＭＳ Ｐゴシック";
const char* const kTitleFace = "Times New Roman";
const char* const kFukuromojiHint = "輪郭線を太くしても、必ず袋文字になります";

// The fixed places fit the captions in the metric-compatible faces the
// program's font aliases name. They are asked for by name too, so a wider
// face the desktop prefers (Noto CJK, say) cannot take their place even when
// the aliases are not loaded.
QFont DesignFont(const char* face, const char* standIn, int pixels) {
  QFont f;
  f.setFamilies({QString::fromUtf8(face), QString::fromUtf8(standIn)});
  f.setPixelSize(pixels);
  return f;
}

QFont UiFont(int pixels, bool bold = false) {
  QFont f = DesignFont(kUiFace, "IPAPGothic", pixels);
  f.setBold(bold);
  return f;
}

void SetTextColor(QWidget* w, QPalette::ColorRole role, const QColor& color) {
  QPalette p = w->palette();
  p.setColor(role, color);
  w->setPalette(p);
}

void SetBackground(QWidget* w, const QColor& color) {
  w->setAutoFillBackground(true);
  SetTextColor(w, QPalette::Window, color);
}

QFrame* NewBevel(QWidget* parent, int x, int y, int w, int h) {
  auto* f = new QFrame(parent);
  f->setFrameStyle(QFrame::Box | QFrame::Sunken);
  f->setGeometry(x, y, w, h);
  return f;
}

QPushButton* NewButton(QWidget* parent, const char* caption, int x, int y, int w, int h, const QColor& color) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setGeometry(x, y, w, h);
  b->setFont(UiFont(15, true));
  SetTextColor(b, QPalette::ButtonText, color);
  return b;
}

QCheckBox* NewCheckBox(QWidget* parent, const char* caption, int x, int y, int w, int h, bool ticked) {
  auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
  c->setGeometry(x, y, w, h);
  c->setChecked(ticked);
  return c;
}

QSlider* NewTrackBar(QWidget* parent, int x, int y, int w, int h, int min, int max, int position) {
  auto* t = new QSlider(Qt::Horizontal, parent);
  t->setGeometry(x, y, w, h);
  t->setRange(min, max);
  t->setValue(position);
  t->setTickPosition(QSlider::TicksBelow);
  t->setTickInterval(50);
  t->setSingleStep(1);
  t->setPageStep(2);
  return t;
}

void FillPage(QWidget* page, QWidget* content) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content);
}

// A label at (x, y) that sizes itself to its text.
QLabel* NewAutoLabel(QWidget* parent, const char* text, int x, int y, const QFont& font) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setFont(font);
  l->move(x, y);
  l->adjustSize();
  return l;
}

}  // namespace

void TForm1::CreatePages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setDocumentMode(true);
  // Tabs drawn as flat buttons; the active one looks pressed.
  PageControl1->tabBar()->setStyleSheet(
      QStringLiteral("QTabBar::tab { border: 1px solid #a0a0a0; padding: 3px 10px; margin: 2px 1px;"
                     " background: #f0f0f0; }"
                     "QTabBar::tab:selected { background: #d4d4d4; border-color: #606060 #ffffff #ffffff #606060; }"));

  TabTXTInput = new QWidget;
  Memo1 = new TMemo(TabTXTInput);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setPlainText(QStringLiteral("GLYPHOR"));
  FillPage(TabTXTInput, Memo1);
  PageControl1->addTab(TabTXTInput, QStringLiteral("テキスト入力"));

  TabPreview = new QWidget;
  ScrollBox1 = new QScrollArea(TabPreview);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetBackground(ScrollBox1->viewport(), Qt::white);
  Image1 = new TPreviewImage;
  Image1->resize(73, 33);
  ScrollBox1->setWidget(Image1);
  FillPage(TabPreview, ScrollBox1);
  PageControl1->addTab(TabPreview, QStringLiteral("プレビュー"));

  TabOption = new QWidget;
  Bevel2 = NewBevel(TabOption, 8, 8, 193, 121);
  lblResolution = NewAutoLabel(TabOption, "解像度", 18, 16, UiFont(15));
  trbResolution = NewTrackBar(TabOption, 10, 32, 177, 25, MinResolution, MaxResolution, 400);
  // Four lines in 48 pixels: the 12-pixel face's own line spacing is taller.
  Label1 = new QLabel(QStringLiteral("<p style=\"-qt-line-height-type: fixed; line-height: 12px; margin: 0\">"
                                     "座標値を算出する時の解像度です。<br>この値を大きくすれば、計算の精度<br>"
                                     "が上がります。<br>400～1200(dpi)</p>"),
                      TabOption);
  Label1->setTextFormat(Qt::RichText);
  Label1->setGeometry(16, 72, 183, 48);
  GroupBoxShortCut = new QGroupBox(QStringLiteral("ショートカットの作成"), TabOption);
  GroupBoxShortCut->setGeometry(226, 8, 164, 121);
  GroupBoxShortCut->setFont(UiFont(15, true));
  chbShortCutDesktop = NewCheckBox(GroupBoxShortCut, "デスクトップ", 11, 32, 97, 17, false);
  chbShortCutStart = NewCheckBox(GroupBoxShortCut, "スタートメニュー", 11, 56, 134, 17, false);
  btnShortCut = new QPushButton(QStringLiteral("作成"), GroupBoxShortCut);
  btnShortCut->setGeometry(32, 84, 97, 28);
  // Right of the shortcut group, as wide as its check box's caption needs.
  GroupBoxCut = new QGroupBox(QStringLiteral("カット用の出力"), TabOption);
  GroupBoxCut->setGeometry(398, 8, 190, 57);
  GroupBoxCut->setFont(UiFont(15, true));
  chbCutReady = NewCheckBox(GroupBoxCut, "カット用の輪郭にする", 11, 32, 172, 17, false);
  PageControl1->addTab(TabOption, QStringLiteral("その他の設定"));
}

void TForm1::CreateSettingsPanel() {
  Panel2 = new QWidget(Panel1);
  Panel2->setFont(UiFont(15));

  Bevel1 = NewBevel(Panel2, 5, 8, 162, 79);
  btnSVG = NewButton(Panel2, "SVG作成", 13, 15, 145, 41, Qt::red);
  chbSVGView = NewCheckBox(Panel2, "変換後のSVGを開く", 13, 59, 145, 24, true);
  Bevel3 = NewBevel(Panel2, 5, 96, 162, 102);
  btnCopyAsEmf = NewButton(Panel2, "拡張メタファイル\nとしてコピー", 13, 104, 145, 42, Qt::blue);
  btnSaveAsEmf = NewButton(Panel2, "拡張メタファイル\nとして保存", 13, 149, 145, 42, Qt::magenta);
  btnFont = NewButton(Panel2, "フォント変更", 193, 9, 100, 38, Qt::red);
  btnStrokeColor = NewButton(Panel2, "輪郭線の色", 193, 51, 100, 38, Qt::black);

  lblStrokeColor = new TClickLabel(Panel2);
  lblStrokeColor->setGeometry(297, 8, 57, 81);
  lblStrokeColor->setToolTip(QStringLiteral("輪郭線の色"));
  lblFillColor = new TClickLabel(Panel2);
  lblFillColor->setGeometry(309, 20, 33, 57);
  lblFillColor->setToolTip(QStringLiteral("塗りの色"));
  for (QLabel* swatch : {static_cast<QLabel*>(lblStrokeColor), static_cast<QLabel*>(lblFillColor)}) {
    swatch->setCursor(Qt::PointingHandCursor);
    swatch->setAutoFillBackground(true);
  }

  chbTransparent = NewCheckBox(Panel2, "塗りを透明にする", 371, 19, 136, 25, false);
  Label2 = new QLabel(Panel2);
  Label2->setGeometry(368, 48, 145, 41);
  SetBackground(Label2, Qt::green);
  chbFukuromoji = NewCheckBox(Panel2, "", 371, 55, 18, 25, false);
  SetBackground(chbFukuromoji, Qt::green);
  ImageFukuromoji = new QLabel(Panel2);
  ImageFukuromoji->setGeometry(408, 51, 80, 35);
  ShowFukuromojiSample();
  for (QWidget* w :
       {static_cast<QWidget*>(Label2), static_cast<QWidget*>(chbFukuromoji), static_cast<QWidget*>(ImageFukuromoji)})
    w->setToolTip(QString::fromUtf8(kFukuromojiHint));

  Bevel4 = NewBevel(Panel2, 200, 96, 305, 110);
  lblStrokeWidth = NewAutoLabel(Panel2, "輪郭線の幅", 218, 101, UiFont(15));
  trbStrokeWidth = NewTrackBar(Panel2, 210, 117, 276, 25, MinStrokeWidth, MaxStrokeWidth, 50);

  RadioGroupLineJoin = new QGroupBox(QStringLiteral("輪郭線の接合形式"), Panel2);
  RadioGroupLineJoin->setGeometry(213, 160, 201, 41);
  RadioGroupLineJoin->setFont(UiFont(12));
  LineJoinItems = new QButtonGroup(this);
  const char* const joins[3] = {"マイター", "ラウンド", "ベベル"};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QRadioButton(QString::fromUtf8(joins[i]), RadioGroupLineJoin);
    item->setGeometry(4 + i * 66, 18, 66, 18);
    LineJoinItems->addButton(item, i);
  }
  LineJoinItems->button(0)->setChecked(true);
  UpdateLineJoinTabStop();

  Label3 = NewAutoLabel(Panel2, "マイターの上限", 419, 161, UiFont(12));
  edtMiterLimit = new QLineEdit(QStringLiteral("4"), Panel2);
  edtMiterLimit->setGeometry(424, 175, 41, 23);
  edtMiterLimit->setReadOnly(true);
  UpDownMiterLimit = new TUpDown(MinMiterLimit, MaxMiterLimit, 4, Panel2);
  UpDownMiterLimit->setGeometry(465, 175, 16, 23);
  UpDownMiterLimit->SetBuddy(edtMiterLimit);

  lblFillColor->raise();
  ImageFukuromoji->raise();
  chbFukuromoji->raise();
}

void TForm1::CreateTitlePanel() {
  Panel3 = new QWidget(Panel1);
  Image2 = new QLabel(Panel3);
  Image2->setScaledContents(true);
  Image2->setPixmap(QPixmap::fromImage(MakeTitleGradient()));

  QFont titleFont = DesignFont(kTitleFace, "Liberation Serif", 24);
  titleFont.setBold(true);
  titleFont.setItalic(true);
  lblTitle = new TClickLabel(QStringLiteral("GLYPHOR \nVer. 1.0 A2 "), Panel3);
  lblTitle->setFont(titleFont);
  SetTextColor(lblTitle, QPalette::WindowText, Qt::green);
  lblTitle->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  lblTitle->setToolTip(QStringLiteral("《Quillhaven》のサイトを表示します"));

  QFont noticeFont = DesignFont(kTitleFace, "Liberation Serif", 13);
  noticeFont.setBold(true);
  lblCopyRight = new TClickLabel(QStringLiteral("Copyright © 2026 Quillhaven"), Panel3);
  lblCopyRight->setFont(noticeFont);
  SetTextColor(lblCopyRight, QPalette::WindowText, Qt::yellow);
  lblCopyRight->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lblCopyRight->setToolTip(QStringLiteral("作者にメールを送ります"));

  for (QLabel* l : {static_cast<QLabel*>(lblTitle), static_cast<QLabel*>(lblCopyRight)}) {
    l->setTextFormat(Qt::PlainText);
    l->setCursor(Qt::PointingHandCursor);
  }
}

void TForm1::SetTabOrder() {
  // The tab bar is the page control's stop. The page control itself, which
  // would hand its focus to the tab bar, is none: wherever it sits in the
  // chain, Tab would jump back to the tabs from there (from the memo, say).
  PageControl1->setFocusProxy(nullptr);
  PageControl1->setFocusPolicy(Qt::NoFocus);
  // The bottom panel comes before the page control.
  QList<QWidget*> order = {btnSVG, chbSVGView, btnFont, trbStrokeWidth, btnStrokeColor, chbTransparent, chbFukuromoji};
  for (QAbstractButton* b : LineJoinItems->buttons()) order.append(b);
  order += {btnCopyAsEmf, edtMiterLimit, UpDownMiterLimit, btnSaveAsEmf,       PageControl1->tabBar(), Memo1,
            ScrollBox1,   trbResolution, btnShortCut,      chbShortCutDesktop, chbShortCutStart,       chbCutReady};
  for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::LayoutPanels() {
  const int w = width(), h = height();
  const int pageHeight = std::max(0, h - kBottomPanelHeight);
  PageControl1->setGeometry(0, 0, w, pageHeight);
  Panel1->setGeometry(0, pageHeight, w, kBottomPanelHeight);
  Panel2->setGeometry(0, 0, kSettingsPanelWidth, kBottomPanelHeight);
  const int titleWidth = std::max(0, w - kSettingsPanelWidth);
  Panel3->setGeometry(kSettingsPanelWidth, 0, titleWidth, kBottomPanelHeight);
  Image2->setGeometry(0, 0, titleWidth, kBottomPanelHeight);
  // Both labels keep their distance to the panel's right and bottom edges.
  const int shift = titleWidth - kTitlePanelDesignWidth;
  lblTitle->setGeometry(shift, 103, 192, 65);
  lblCopyRight->setGeometry(shift, 177, 192, 31);
}

void TForm1::CreateControls() {
  setWindowTitle(QStringLiteral("GLYPHOR"));
  setFont(UiFont(12));
  SetBackground(this, ToQColor(kBtnFace));
  CreatePages();
  Panel1 = new QWidget(this);
  CreateSettingsPanel();
  CreateTitlePanel();
  SetTabOrder();
  // Never so small that a tab, the settings panel or the settings page's
  // controls are cut off.
  const int pageContent =
      std::max(Bevel2->geometry().bottom(), GroupBoxShortCut->geometry().bottom()) + 1 + Bevel2->y();
  setMinimumSize(kSettingsPanelWidth + kTitlePanelMinWidth,
                 PageControl1->tabBar()->sizeHint().height() + pageContent + kBottomPanelHeight);
  resize(kDesignClientWidth, kDesignClientHeight);
}

}  // namespace glyphor
