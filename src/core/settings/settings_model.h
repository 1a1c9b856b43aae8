// SPDX-License-Identifier: MIT
// The conversion settings with the semantics of the window's controls:
// ranges, change notifications only on a real change, the interplay of the
// two-layer and transparent options. The batch run uses it without a window;
// the window binds its controls to it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/outline/font_choice.h"

namespace glyphor {

// The values the writers read, at the moment they run.
struct ConversionSettings {
  std::string Text = "GLYPHOR";
  TFontSpec Font;  // Font.Color is the fill colour
  bool TransparentFill = false;
  uint32_t StrokeColor = 0x00000000;
  int StrokeWidth = 50;     // hundredths of a millimetre, 0..1000
  bool Fukuromoji = false;  // two-layer "bag" letters
  int LineJoin = 0;         // 0 miter, 1 round, 2 bevel
  int MiterLimit = 4;       // 1..100
  int Resolution = 400;     // dpi, 400..1200
  bool ViewAfterSave = true;
  bool CutReady = false;  // SVG as filled, welded regions for cutters
};

inline constexpr int MinStrokeWidth = 0, MaxStrokeWidth = 1000;
inline constexpr int MinResolution = 400, MaxResolution = 1200;
inline constexpr int MinMiterLimit = 1, MaxMiterLimit = 100;

class SettingsModel {
 public:
  enum class Field {
    Text,
    Font,
    FillColor,
    StrokeColor,
    StrokeWidth,
    Transparent,
    TransparentEnabled,
    Fukuromoji,
    LineJoin,
    MiterLimit,
    Resolution,
    View,
    CutReady,
    SvgDir,
    EmfDir
  };
  using Listener = std::function<void(Field)>;

  explicit SettingsModel(int screenPpi = DefaultScreenPpi);

  // Listeners run after the value has changed, in the order they were added.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }

  int ScreenPpi() const { return ppi_; }
  const ConversionSettings& Values() const { return v_; }

  void SetText(const std::string& text);
  // The font holds its size as a pixel height on this screen: the size read
  // back is the one that height gives.
  void SetFont(const TFontSpec& font);
  void SetFontName(const std::string& name);
  void SetFontSize(int points);
  int FontPixelHeight() const { return fontPixels_; }
  void SetFontStyle(uint8_t style);
  void SetFontCharset(uint8_t charset);
  void SetFillColor(uint32_t color);
  void SetStrokeColor(uint32_t color);
  void SetStrokeWidth(int hundredths);  // brought into 0..1000
  void SetTransparent(bool on);         // ignored while disabled by the two-layer mode
  bool TransparentEnabled() const { return transparentEnabled_; }
  void SetFukuromoji(bool on);
  void SetLineJoin(int join);     // brought into -1..2 (-1: none selected)
  void SetMiterLimit(int limit);  // brought into 1..100
  void SetResolution(int dpi);    // brought into 400..1200
  void SetViewAfterSave(bool on);
  void SetCutReady(bool on);

  const std::string& SvgDir() const { return svgDir_; }
  const std::string& EmfDir() const { return emfDir_; }
  void SetSvgDir(const std::string& dir);
  void SetEmfDir(const std::string& dir);

 private:
  void Notify(Field f);
  // SetFont with one part of the current font replaced.
  template <class T>
  void SetFontPart(T TFontSpec::*part, const T& value) {
    TFontSpec f = v_.Font;
    f.*part = value;
    SetFont(f);
  }

  int ppi_;
  ConversionSettings v_;
  int fontPixels_;
  bool transparentEnabled_ = true;
  std::string svgDir_, emfDir_;
  std::vector<Listener> listeners_;
};

}  // namespace glyphor
