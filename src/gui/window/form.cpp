// SPDX-License-Identifier: MIT
#include "gui/window/form.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iterator>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QWindow>

#include "core/platform/errors.h"
#include "core/platform/shortcut.h"
#include "core/platform/special_folders.h"
#include "core/settings/settings_io.h"
#include "core/settings/settings_location.h"
#include "gui/preview/preview_image.h"
#include "gui/window/application.h"
#include "gui/window/form_widgets.h"
#include "gui/window/qt_colors.h"
#include "gui/window/save_dialog.h"
#include "gui/window/window_images.h"

namespace glyphor {

TForm1::TForm1(int screenPpi, TFormServices& services, std::string settingsPath, QWidget* parent)
    : QWidget(parent),
      ppi_(screenPpi),
      services_(services),
      settingsPath_(std::move(settingsPath)),
      settings_(screenPpi) {
  CreateControls();
  ShowMemoFont();
  ShowFillColor();
  ShowStrokeColor();
  BindControls();
  PlaceOnScreen();
}

// Centred on the screen at the design size, made smaller (not below the
// minimum size) where the screen is smaller, and never off its top or left
// edge: on a scaled screen the design size may not fit.
void TForm1::PlaceOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const int frameWidth = kDesignFrameWidth - kDesignClientWidth;
  const int frameHeight = kDesignFrameHeight - kDesignClientHeight;
  resize(std::max(minimumWidth(), std::min(width(), area.width() - frameWidth)),
         std::max(minimumHeight(), std::min(height(), area.height() - frameHeight)));
  move(area.x() + std::max(0, (area.width() - width() - frameWidth) / 2),
       area.y() + std::max(0, (area.height() - height() - frameHeight) / 2));
}

TForm1::~TForm1() = default;

template <typename F>
void TForm1::Guard(F&& handler) {
  // The general error report: the window stays as it was and usable.
  try {
    handler();
  } catch (const std::exception& e) {
    services_.ShowError(this, e.what());
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  auto* bar = qobject_cast<QSlider*>(watched);
  if (bar && (bar == trbStrokeWidth || bar == trbResolution)) {
    bool ended = false;
    if (event->type() == QEvent::KeyRelease) {
      const auto* key = static_cast<QKeyEvent*>(event);
      static const int kMoveKeys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                      Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
      ended = !key->isAutoRepeat() &&
              std::find(std::begin(kMoveKeys), std::end(kMoveKeys), key->key()) != std::end(kMoveKeys);
    } else if (event->type() == QEvent::MouseButtonRelease) {
      ended = !bar->isSliderDown();  // a drag's end comes as sliderReleased
    }
    // The position has moved at the press already; the release only ends it.
    if (ended) Guard([this, bar] { trbStrokeWidthChange(bar); });
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::BindControls() {
  settings_.AddListener([this](SettingsModel::Field f) { OnSettingChanged(f); });

  // A tab character that got into the memo anyway (an input method) is not
  // kept: the outlines drop it, so the settings file would hold what nobody sees.
  connect(Memo1, &QPlainTextEdit::textChanged, this,
          [this] { Guard([this] { settings_.SetText(Memo1->toPlainText().remove(u'\t').toStdString()); }); });
  connect(trbStrokeWidth, &QSlider::valueChanged, this,
          [this](int v) { Guard([this, v] { settings_.SetStrokeWidth(v); }); });
  connect(trbResolution, &QSlider::valueChanged, this,
          [this](int v) { Guard([this, v] { settings_.SetResolution(v); }); });
  // The end of a movement notifies once more, unchanged position or not: a
  // drag's end here, a key's or a click on the groove in eventFilter.
  for (QSlider* bar : {trbStrokeWidth, trbResolution}) {
    connect(bar, &QSlider::sliderReleased, this, [this, bar] { Guard([this, bar] { trbStrokeWidthChange(bar); }); });
    bar->installEventFilter(this);
  }
  connect(chbTransparent, &QCheckBox::toggled, this,
          [this](bool on) { Guard([this, on] { settings_.SetTransparent(on); }); });
  connect(chbFukuromoji, &QCheckBox::toggled, this,
          [this](bool on) { Guard([this, on] { settings_.SetFukuromoji(on); }); });
  connect(chbSVGView, &QCheckBox::toggled, this,
          [this](bool on) { Guard([this, on] { settings_.SetViewAfterSave(on); }); });
  connect(chbCutReady, &QCheckBox::toggled, this,
          [this](bool on) { Guard([this, on] { settings_.SetCutReady(on); }); });
  connect(LineJoinItems, &QButtonGroup::idClicked, this,
          [this](int id) { Guard([this, id] { settings_.SetLineJoin(id); }); });
  connect(UpDownMiterLimit, &TUpDown::stepRequested, this,
          [this](int v) { Guard([this, v] { settings_.SetMiterLimit(v); }); });

  connect(btnSVG, &QPushButton::clicked, this, [this] { Guard([this] { btnSVGClick(); }); });
  connect(btnFont, &QPushButton::clicked, this, [this] { Guard([this] { btnFontClick(); }); });
  connect(btnStrokeColor, &QPushButton::clicked, this, [this] { Guard([this] { btnStrokeColorClick(); }); });
  connect(lblStrokeColor, &TClickLabel::clicked, this, [this] { Guard([this] { btnStrokeColorClick(); }); });
  connect(lblFillColor, &TClickLabel::clicked, this, [this] { Guard([this] { lblFillColorClick(); }); });
  connect(btnCopyAsEmf, &QPushButton::clicked, this, [this] { Guard([this] { btnCopyAsEmfClick(); }); });
  connect(btnSaveAsEmf, &QPushButton::clicked, this, [this] { Guard([this] { btnSaveAsEmfClick(); }); });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
    if (!pageSetByProgram_) Guard([this] { PageControl1Change(); });
  });
  for (QCheckBox* box : {chbShortCutDesktop, chbShortCutStart})
    connect(box, &QCheckBox::toggled, this, [this] { Guard([this] { chbShortCutDesktopClick(); }); });
  connect(btnShortCut, &QPushButton::clicked, this, [this] { Guard([this] { btnShortCutClick(); }); });
  connect(lblTitle, &TClickLabel::clicked, this, [this] { Guard([this] { lblTitleClick(); }); });
  connect(lblCopyRight, &TClickLabel::clicked, this, [this] { Guard([this] { lblCopyRightClick(); }); });
}

// The model tells what really changed; the controls follow it without
// raising their own signals, then the control's handler runs as it would
// for a user's change.
void TForm1::OnSettingChanged(SettingsModel::Field field) {
  using F = SettingsModel::Field;
  const ConversionSettings& v = settings_.Values();
  switch (field) {
    case F::Text: {
      const QString text = QString::fromStdString(v.Text);
      if (Memo1->toPlainText() != text) {
        QSignalBlocker block(Memo1);
        Memo1->setPlainText(text);
      }
      break;
    }
    case F::Font: ShowMemoFont(); break;
    case F::FillColor: ShowFillColor(); break;
    case F::StrokeColor: ShowStrokeColor(); break;
    case F::StrokeWidth:
    case F::Resolution: {
      QSlider* bar = field == F::StrokeWidth ? trbStrokeWidth : trbResolution;
      {
        QSignalBlocker block(bar);
        bar->setValue(field == F::StrokeWidth ? v.StrokeWidth : v.Resolution);
      }
      trbStrokeWidthChange(bar);
      break;
    }
    case F::Transparent: {
      QSignalBlocker block(chbTransparent);
      chbTransparent->setChecked(v.TransparentFill);
      block.unblock();
      chbTransparentClick();
      break;
    }
    case F::TransparentEnabled: chbTransparent->setEnabled(settings_.TransparentEnabled()); break;
    case F::Fukuromoji: {
      QSignalBlocker block(chbFukuromoji);
      chbFukuromoji->setChecked(v.Fukuromoji);
      block.unblock();
      chbFukuromojiClick();
      break;
    }
    case F::LineJoin:
      ShowLineJoin();
      RadioGroupLineJoinClick();
      break;
    case F::MiterLimit:
      UpDownMiterLimit->SetPosition(v.MiterLimit);
      edtMiterLimit->setText(QString::number(v.MiterLimit));
      edtMiterLimitChange();
      break;
    case F::View: {
      QSignalBlocker block(chbSVGView);
      chbSVGView->setChecked(v.ViewAfterSave);
      break;
    }
    case F::CutReady: {
      QSignalBlocker block(chbCutReady);
      chbCutReady->setChecked(v.CutReady);
      break;
    }
    case F::SvgDir:
    case F::EmfDir: break;
  }
}

namespace {

uint16_t BigEndian16(const QByteArray& table, int offset) {
  if (table.size() < offset + 2) return 0;
  return static_cast<uint16_t>((static_cast<uint8_t>(table[offset]) << 8) | static_cast<uint8_t>(table[offset + 1]));
}

// Whether the face Qt draws `font` with is bold by itself, by the rule the
// outlines use: the style bit of the OS/2 table (of the head table without
// one), or a weight class of 600 or more.
bool FaceIsBold(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  if (!raw.isValid()) return true;  // nothing known: leave it to Qt
  const QByteArray os2 = raw.fontTable("OS/2");
  if (os2.size() >= 64) return (BigEndian16(os2, 62) & 0x20) != 0 || BigEndian16(os2, 4) >= 600;
  return (BigEndian16(raw.fontTable("head"), 44) & 1) != 0;
}

}  // namespace

void TForm1::ShowMemoFont() {
  const TFontSpec& spec = settings_.Values().Font;
  QFont f(QString::fromStdString(spec.Name));
  // A zero height asks for the default size, as the platform's fonts do.
  const int pixels = std::abs(settings_.FontPixelHeight());
  f.setPixelSize(pixels > 0 ? pixels : 16);
  f.setBold(spec.Style & fsBold);
  f.setItalic(spec.Style & fsItalic);
  f.setUnderline(spec.Style & fsUnderline);
  f.setStrikeOut(spec.Style & fsStrikeOut);
  // A face without a bold style comes out emboldened by a 24th of the em
  // (and as much wider); Qt only fakes bold below 64 pixels and never for
  // fixed-pitch faces, so the memo thickens the regular face itself.
  qreal boldPixels = 0;
  if (f.bold() && !FaceIsBold(f)) {
    f.setBold(false);
    boldPixels = f.pixelSize() / 24.0;
    f.setLetterSpacing(QFont::AbsoluteSpacing, boldPixels);
  }
  Memo1->setFont(f);
  Memo1->SetSyntheticBold(boldPixels);
}

static void SetPaletteColor(QWidget* w, QPalette::ColorRole role, const QColor& color) {
  QPalette p = w->palette();
  p.setColor(role, color);
  w->setPalette(p);
}

// The fill colour's three places: the memo's text, the fill swatch and the
// font button's caption.
void TForm1::ShowFillColor() {
  const QColor c = ToQColor(settings_.Values().Font.Color);
  SetPaletteColor(Memo1, QPalette::Text, c);
  SetPaletteColor(lblFillColor, QPalette::Window, c);
  SetPaletteColor(btnFont, QPalette::ButtonText, c);
}

// The stroke colour's three places: the stroke swatch, the memo's
// background and the stroke button's caption.
void TForm1::ShowStrokeColor() {
  const QColor c = ToQColor(settings_.Values().StrokeColor);
  SetPaletteColor(lblStrokeColor, QPalette::Window, c);
  SetPaletteColor(Memo1, QPalette::Base, c);
  SetPaletteColor(btnStrokeColor, QPalette::ButtonText, c);
}

void TForm1::ShowLineJoin() {
  const int join = settings_.Values().LineJoin;
  // No item selected needs a non-exclusive group for a moment.
  LineJoinItems->setExclusive(false);
  for (QAbstractButton* b : LineJoinItems->buttons()) b->setChecked(LineJoinItems->id(b) == join);
  LineJoinItems->setExclusive(true);
  UpdateLineJoinTabStop();
}

// Tab and Shift+Tab enter the group on its selected item (the first when
// none is selected); the arrow keys move between the items.
void TForm1::UpdateLineJoinTabStop() {
  QAbstractButton* stop = LineJoinItems->checkedButton();
  if (!stop) stop = LineJoinItems->button(0);
  for (QAbstractButton* b : LineJoinItems->buttons()) b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void TForm1::SetActivePage(QWidget* page) {
  pageSetByProgram_ = true;
  PageControl1->setCurrentWidget(page);
  pageSetByProgram_ = false;
}

void TForm1::RefreshPreview() {
  if (PageControl1->currentWidget() != TabPreview) return;
  // A failed rebuild is reported here so that the change that asked for it
  // still completes (fukuromoji goes on to disable the transparent box).
  Guard([this] { UpdatePreview(); });
}

void TForm1::UpdatePreview() {
  // Cleared first: a failure below leaves the preview empty, not stale.
  Image1->Clear();
  Image1->repaint();
  MetafilePicture picture;
  services_.BuildPicture(picture, settings_.Values(), ppi_);
  // Played at the screen's own pixels, so a scaled screen shows it sharp at
  // the same size; only the part the scroll area shows is drawn.
  const qreal ratio = devicePixelRatioF();
  std::unique_ptr<PreviewPicture> shown = services_.PreparePreview(picture, qRound(ppi_ * ratio));
  if (!shown) return;
  Image1->SetPicture(std::move(shown), ratio);
}

void TForm1::ShowFukuromojiSample() {
  ImageFukuromoji->setPixmap(MakeFukuromojiSample(services_, ppi_, devicePixelRatioF()));
}

void TForm1::FormCreate() {
  if (!settingsPath_.empty())
    Guard([this] { LoadSettings(settings_, settingsPath_, GetSpecialFolder(kFolderDocuments)); });
  SetActivePage(TabTXTInput);
}

void TForm1::FormShow() {
  trbStrokeWidthChange(trbStrokeWidth);
  trbStrokeWidthChange(trbResolution);
}

bool TForm1::FormCloseQuery() {
  if (settingsPath_.empty()) return true;
  try {
    EnsureSettingsFolder(settingsPath_);
    SaveSettings(settings_, settingsPath_);
  } catch (const EIniFileException&) {
    // A settings file that cannot be written must not keep the window open.
  } catch (const std::exception& e) {
    services_.ShowError(this, e.what());
    return false;
  }
  return true;
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutPanels();
  Memo1->viewport()->update();
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous() || shown_) return;
  shown_ = true;
  // Moved to a screen of another scale: the two pictures are drawn anew.
  if (QWindow* window = windowHandle()) {
    connect(window, &QWindow::screenChanged, this, [this] {
      ShowFukuromojiSample();
      RefreshPreview();
    });
  }
  Guard([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

void TForm1::trbStrokeWidthChange(QObject* sender) {
  if (sender == trbStrokeWidth) {
    const QString mm = QLocale::system().toString(trbStrokeWidth->value() / 100.0, 'f', 4);
    lblStrokeWidth->setText(QStringLiteral("輪郭線の幅：%1(mm)").arg(mm));
    lblStrokeWidth->adjustSize();
  } else if (sender == trbResolution) {
    lblResolution->setText(QStringLiteral("解像度：%1(dpi)").arg(trbResolution->value()));
    lblResolution->adjustSize();
  }
  RefreshPreview();
}

void TForm1::chbTransparentClick() { RefreshPreview(); }

// The transparent box itself is unticked and disabled by the settings model;
// what is left here is the refresh.
void TForm1::chbFukuromojiClick() { RefreshPreview(); }

void TForm1::RadioGroupLineJoinClick() { RefreshPreview(); }

void TForm1::edtMiterLimitChange() { RefreshPreview(); }

void TForm1::btnSVGClick() {
  const SaveRequest request{QStringLiteral("Untitled"), QStringLiteral("svg"), QStringLiteral("SVG (*.svg)"),
                            QString::fromStdString(StartFolder(settings_.SvgDir()))};
  const auto path = services_.ChooseSaveFile(this, request);
  if (!path) return;
  // Remembered before writing, so it stands when the write fails.
  settings_.SetSvgDir(FolderPart(*path));
  services_.WriteSvg(*path, settings_.Values(), ppi_, services_);
}

void TForm1::btnSaveAsEmfClick() {
  const SaveRequest request{QStringLiteral("Untitled"), QStringLiteral("emf"),
                            QStringLiteral("拡張メタファイル (*.emf)"),
                            QString::fromStdString(StartFolder(settings_.EmfDir()))};
  const auto path = services_.ChooseSaveFile(this, request);
  if (!path) return;
  settings_.SetEmfDir(FolderPart(*path));
  MetafilePicture picture;
  services_.BuildPicture(picture, settings_.Values(), ppi_);
  services_.SaveMetafile(*path, picture);
}

void TForm1::btnCopyAsEmfClick() {
  MetafilePicture picture;
  services_.BuildPicture(picture, settings_.Values(), ppi_);
  services_.CopyMetafile(picture);
}

void TForm1::btnFontClick() {
  TFontSpec font = settings_.Values().Font;
  if (!services_.ChooseFont(this, font)) return;
  settings_.SetFont(font);
  RefreshPreview();
}

void TForm1::btnStrokeColorClick() {
  QColor color = ToQColor(settings_.Values().StrokeColor);
  if (!services_.ChooseColor(this, color)) return;
  settings_.SetStrokeColor(FromQColor(color));
  RefreshPreview();
}

void TForm1::lblFillColorClick() {
  QColor color = ToQColor(settings_.Values().Font.Color);
  if (!services_.ChooseColor(this, color)) return;
  settings_.SetFillColor(FromQColor(color));
  RefreshPreview();
}

void TForm1::PageControl1Change() {
  QWidget* page = PageControl1->currentWidget();
  if (page == TabOption) chbShortCutDesktopClick();
  if (page == TabPreview) UpdatePreview();
}

void TForm1::chbShortCutDesktopClick() {
  btnShortCut->setEnabled(chbShortCutDesktop->isChecked() || chbShortCutStart->isChecked());
}

void TForm1::btnShortCutClick() {
  std::vector<std::function<void()>> steps;
  if (chbShortCutDesktop->isChecked()) steps.push_back([this] { services_.CreateShortcut(kShortcutName, "DESKTOP"); });
  if (chbShortCutStart->isChecked()) steps.push_back([this] { services_.CreateShortcut(kShortcutName, "PROGRAMS"); });
  RunEachThenReport(steps);
}

void TForm1::lblTitleClick() {
  if (services_.Confirm(this, QStringLiteral("《Quillhaven》 のサイトにアクセスしますか？")))
    services_.OpenUrl(WebPageUrl());
}

void TForm1::lblCopyRightClick() {
  if (services_.Confirm(this, QStringLiteral("作者にメールしますか？"))) services_.OpenUrl(SupportMailUrl());
}

}  // namespace glyphor
