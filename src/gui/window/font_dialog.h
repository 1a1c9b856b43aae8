// SPDX-License-Identifier: MIT
// The font dialog: face, style, size, underline, strike-out, colour and
// script, as the program's font carries them. Qt's QFontDialog has neither
// colour nor script, hence this one.
#pragma once

#include <cstdint>

#include <QDialog>

#include "core/outline/font_choice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace glyphor {

struct CharsetEntry {
  uint8_t Number;
  const char* Name;
};
// The scripts offered, by character-set number.
extern const CharsetEntry kCharsets[14];

class TFontDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TFontDialog(QWidget* parent = nullptr);

  // Everything of `font` is shown; a face, colour or script the lists do not
  // hold is added to them, so OK without changes gives the font back as it was.
  void SetFont(const TFontSpec& font);
  TFontSpec Font() const;

  // Shows the dialog on `font`; on OK `font` becomes the choice.
  static bool Choose(QWidget* parent, TFontSpec& font);

  QListWidget* FaceList() const { return faces_; }
  QComboBox* StyleBox() const { return style_; }
  QSpinBox* SizeBox() const { return size_; }
  QCheckBox* UnderlineBox() const { return underline_; }
  QCheckBox* StrikeOutBox() const { return strikeOut_; }
  QComboBox* ColorBox() const { return color_; }
  QComboBox* ScriptBox() const { return script_; }

 private:
  void SelectFace(const QString& name);
  void SelectColor(uint32_t color);
  void SelectCharset(uint8_t charset);
  void UpdateSample();

  QLineEdit* faceEdit_;
  QListWidget* faces_;
  QComboBox* style_;
  QSpinBox* size_;
  QCheckBox* underline_;
  QCheckBox* strikeOut_;
  QComboBox* color_;
  QComboBox* script_;
  QLabel* sample_;
  uint8_t hiddenStyleBits_ = 0;
};

}  // namespace glyphor
