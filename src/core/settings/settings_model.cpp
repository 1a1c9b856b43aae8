// SPDX-License-Identifier: MIT
#include "core/settings/settings_model.h"

#include <algorithm>

namespace glyphor {

// The window's design holds its memo font as a character height in pixels:
// 100 points on a 96 pixels-per-inch screen, fewer points on a denser one.
constexpr int kStartFontPixels = 133;

SettingsModel::SettingsModel(int screenPpi)
    : ppi_(screenPpi > 0 ? screenPpi : DefaultScreenPpi), fontPixels_(kStartFontPixels) {
  v_.Font.Size = PixelsToPoints(fontPixels_, ppi_);
}

void SettingsModel::Notify(Field f) {
  for (auto& l : listeners_) l(f);
}

template <typename T>
static bool Assign(T& slot, const T& value) {
  if (slot == value) return false;
  slot = value;
  return true;
}

void SettingsModel::SetText(const std::string& text) {
  if (Assign(v_.Text, text)) Notify(Field::Text);
}

void SettingsModel::SetFont(const TFontSpec& font) {
  const int pixels = PointsToPixels(font.Size, ppi_);
  TFontSpec f = font;
  f.Size = PixelsToPoints(pixels, ppi_);
  const bool colorChanged = f.Color != v_.Font.Color;
  const bool fontChanged =
      f.Name != v_.Font.Name || pixels != fontPixels_ || f.Style != v_.Font.Style || f.Charset != v_.Font.Charset;
  v_.Font = f;
  fontPixels_ = pixels;
  if (fontChanged) Notify(Field::Font);
  if (colorChanged) Notify(Field::FillColor);
}

void SettingsModel::SetFontName(const std::string& name) { SetFontPart(&TFontSpec::Name, name); }

void SettingsModel::SetFontSize(int points) { SetFontPart(&TFontSpec::Size, points); }

void SettingsModel::SetFontStyle(uint8_t style) { SetFontPart(&TFontSpec::Style, style); }

void SettingsModel::SetFontCharset(uint8_t charset) { SetFontPart(&TFontSpec::Charset, charset); }

void SettingsModel::SetFillColor(uint32_t color) {
  if (Assign(v_.Font.Color, color)) Notify(Field::FillColor);
}

void SettingsModel::SetStrokeColor(uint32_t color) {
  if (Assign(v_.StrokeColor, color)) Notify(Field::StrokeColor);
}

void SettingsModel::SetStrokeWidth(int hundredths) {
  if (Assign(v_.StrokeWidth, std::clamp(hundredths, MinStrokeWidth, MaxStrokeWidth))) Notify(Field::StrokeWidth);
}

void SettingsModel::SetTransparent(bool on) {
  // A disabled check box cannot be ticked; unticking it still works, which is
  // what the two-layer mode does before disabling it.
  if (on && !transparentEnabled_) return;
  if (Assign(v_.TransparentFill, on)) Notify(Field::Transparent);
}

void SettingsModel::SetFukuromoji(bool on) {
  if (!Assign(v_.Fukuromoji, on)) return;
  if (on) {
    SetTransparent(false);
    if (Assign(transparentEnabled_, false)) Notify(Field::TransparentEnabled);
  } else if (Assign(transparentEnabled_, true)) {
    Notify(Field::TransparentEnabled);
  }
  Notify(Field::Fukuromoji);
}

void SettingsModel::SetLineJoin(int join) {
  if (Assign(v_.LineJoin, std::clamp(join, -1, 2))) Notify(Field::LineJoin);
}

void SettingsModel::SetMiterLimit(int limit) {
  if (Assign(v_.MiterLimit, std::clamp(limit, MinMiterLimit, MaxMiterLimit))) Notify(Field::MiterLimit);
}

void SettingsModel::SetResolution(int dpi) {
  if (Assign(v_.Resolution, std::clamp(dpi, MinResolution, MaxResolution))) Notify(Field::Resolution);
}

void SettingsModel::SetViewAfterSave(bool on) {
  if (Assign(v_.ViewAfterSave, on)) Notify(Field::View);
}

void SettingsModel::SetCutReady(bool on) {
  if (Assign(v_.CutReady, on)) Notify(Field::CutReady);
}

void SettingsModel::SetSvgDir(const std::string& dir) {
  if (Assign(svgDir_, dir)) Notify(Field::SvgDir);
}

void SettingsModel::SetEmfDir(const std::string& dir) {
  if (Assign(emfDir_, dir)) Notify(Field::EmfDir);
}

}  // namespace glyphor
