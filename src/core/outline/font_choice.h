// SPDX-License-Identifier: MIT
// A font as the settings hold it, and the unit rules that go with it:
// points, pixels of a screen, and the scale of the captured outlines.
#pragma once

#include <cstdint>
#include <string>

namespace glyphor {

inline constexpr int PointsPerInch = 72;
// The pixels per inch assumed when no screen is known (a headless batch run).
inline constexpr int DefaultScreenPpi = 96;

// Style bits of a font.
inline constexpr uint8_t fsBold = 0x01;
inline constexpr uint8_t fsItalic = 0x02;
inline constexpr uint8_t fsUnderline = 0x04;
inline constexpr uint8_t fsStrikeOut = 0x08;

struct TFontSpec {
  std::string Name = "ＭＳ Ｐゴシック";  // face name, UTF-8
  int Size = 100;                        // whole points
  uint8_t Style = 0;                     // fs* bits; bits 4-7 are carried, never drawn
  uint8_t Charset = 128;                 // character set number (128 Shift-JIS)
  uint32_t Color = 0x000000FF;           // the fill colour, red in the low byte
};

// q of the scale rule: the text's height in inches at 72 points an inch.
// One path unit is 25.4 * q / resolution millimetres. A negative size (which
// a settings file may hold) scales as its magnitude: a page cannot be
// negatively wide.
inline double SizeScale(int fontSize) {
  return (fontSize < 0 ? -static_cast<double>(fontSize) : fontSize) / PointsPerInch;
}

// Em height in pixels of a font of `size` points on a `ppi` screen, rounded
// halves away from zero (the font's character height, as a positive number).
int PointsToPixels(int size, int ppi);
// The inverse, as a font reports its size back from its pixel height.
int PixelsToPoints(int pixels, int ppi);

// The fontconfig language for a character set number ("ja" for 128), or
// nullptr for the character sets that imply none.
const char* LanguageForCharset(uint8_t charset);

}  // namespace glyphor
