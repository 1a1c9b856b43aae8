// Text outline capture: the glyph outlines of a line of text, at a capture
// size chosen from the resolution, as a path in whole pixels.
#pragma once

#include <cstdint>
#include <string>

#include "core/path_record.h"

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

// The capture font's size in whole points: the text is rendered as if the
// font were 72 points high on a `resolution` dpi device (truncated).
int CaptureFontSize(int resolution, int screenPpi);

// Captures `text` (UTF-8) in `font` at the capture size for `resolution` dpi,
// on a screen of `screenPpi` pixels per inch. Fills `path` (pixels, x right,
// y down, origin at the top-left of the text's cell) and returns the text's
// width (overhangs included) and cell height in pixels. Throws EFontError
// when the face cannot be loaded.
void CaptureTextPath(const std::string& text, const TFontSpec& font, int resolution,
                     int screenPpi, TPath& path, int32_t& width, int32_t& height);

}  // namespace glyphor
