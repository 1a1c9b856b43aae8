// SPDX-License-Identifier: MIT
// The main window: every control at its design place, bound to one
// SettingsModel, and the handlers of its events.
#pragma once

#include <string>

#include <QWidget>

#include "core/settings/settings_model.h"
#include "gui/window/form_services.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QTabWidget;

namespace glyphor {

class TClickLabel;
class TMemo;
class TPreviewImage;
class TUpDown;

inline constexpr const char* kShortcutName = "GLYPHOR 1.0A2";
// The window's client area at design size (740 x 421 with the frame).
inline constexpr int kDesignClientWidth = 732, kDesignClientHeight = 387;
inline constexpr int kDesignFrameWidth = 740, kDesignFrameHeight = 421;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // `screenPpi`: P, the screen's logical pixels per inch. `settingsPath`:
  // the program's own settings file (loaded by FormCreate, written at close);
  // empty for none. `services` must outlive the window.
  TForm1(int screenPpi, TFormServices& services, std::string settingsPath = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  SettingsModel& Settings() { return settings_; }
  int ScreenPpi() const { return ppi_; }

  // Makes a page active from the program: runs no page handler.
  void SetActivePage(QWidget* page);
  // Rebuilds the preview image from the current settings.
  void UpdatePreview();

  // Event handlers.
  void FormCreate();
  void FormShow();
  // Saves the settings; false only when an unexpected error was shown.
  bool FormCloseQuery();
  void btnSVGClick();
  void btnFontClick();
  void btnStrokeColorClick();
  void lblFillColorClick();
  void trbStrokeWidthChange(QObject* sender);
  void chbTransparentClick();
  void chbFukuromojiClick();
  void RadioGroupLineJoinClick();
  void edtMiterLimitChange();
  void btnCopyAsEmfClick();
  void btnSaveAsEmfClick();
  void PageControl1Change();
  void chbShortCutDesktopClick();
  void btnShortCutClick();
  void lblTitleClick();
  void lblCopyRightClick();

  // Controls, named as designed.
  QTabWidget* PageControl1;
  QWidget* TabTXTInput;
  QWidget* TabPreview;
  QWidget* TabOption;
  TMemo* Memo1;
  QScrollArea* ScrollBox1;
  TPreviewImage* Image1;
  QFrame* Bevel2;
  QLabel* lblResolution;
  QSlider* trbResolution;
  QLabel* Label1;
  QGroupBox* GroupBoxShortCut;
  QCheckBox* chbShortCutDesktop;
  QCheckBox* chbShortCutStart;
  QPushButton* btnShortCut;
  QGroupBox* GroupBoxCut;
  QCheckBox* chbCutReady;

  QWidget* Panel1;
  QWidget* Panel2;
  QWidget* Panel3;
  QFrame* Bevel1;
  QPushButton* btnSVG;
  QCheckBox* chbSVGView;
  QFrame* Bevel3;
  QPushButton* btnCopyAsEmf;
  QPushButton* btnSaveAsEmf;
  QPushButton* btnFont;
  QPushButton* btnStrokeColor;
  TClickLabel* lblStrokeColor;
  TClickLabel* lblFillColor;
  QCheckBox* chbTransparent;
  QLabel* Label2;
  QCheckBox* chbFukuromoji;
  QLabel* ImageFukuromoji;
  QFrame* Bevel4;
  QLabel* lblStrokeWidth;
  QSlider* trbStrokeWidth;
  QGroupBox* RadioGroupLineJoin;
  QButtonGroup* LineJoinItems;  // ids 0 miter, 1 round, 2 bevel
  QLabel* Label3;
  QLineEdit* edtMiterLimit;
  TUpDown* UpDownMiterLimit;

  QLabel* Image2;
  TClickLabel* lblTitle;
  TClickLabel* lblCopyRight;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void CreatePages();
  void CreateSettingsPanel();
  void CreateTitlePanel();
  void SetTabOrder();
  void LayoutPanels();
  void BindControls();
  void OnSettingChanged(SettingsModel::Field field);
  void ShowMemoFont();
  void ShowFillColor();
  void ShowStrokeColor();
  void ShowLineJoin();
  void ShowFukuromojiSample();
  void PlaceOnScreen();
  void UpdateLineJoinTabStop();
  void RefreshPreview();
  template <typename F>
  void Guard(F&& handler);

  int ppi_;
  TFormServices& services_;
  std::string settingsPath_;
  SettingsModel settings_;
  bool pageSetByProgram_ = false;
  bool shown_ = false;
};

}  // namespace glyphor
