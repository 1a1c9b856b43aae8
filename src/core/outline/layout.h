// SPDX-License-Identifier: MIT
// A line of text laid out in one font: faces chosen per character (with
// fallback), put in visual order by the bidirectional algorithm, shaped by
// HarfBuzz run by run, measured, and drawn as outlines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/outline/canvas.h"
#include "core/outline/font_match.h"

namespace glyphor {

struct GlyphWidths {
  double A = 0;  // left side bearing: ink start relative to the origin
  double B = 0;  // ink width
  double C = 0;  // advance - A - B
};

// A glyph placed on the line: x of its origin and y of the baseline offset,
// in pixels relative to the text's origin, and what shaping made of it.
struct PlacedGlyph {
  Face* face;
  uint32_t gid;
  double x, y;
  double xOffset = 0;  // from the pen position to the origin
  double advance = 0;  // the pen's move past this glyph, synthetic bold included
};

// Characters of the line set in one face, in the text's order.
struct FaceRun {
  Face* face;
  std::u32string text;  // control characters left out
  bool fallback;        // the face stands in for characters the requested one lacks
};

// A font as selected into the measuring surface: a face found by name, style
// and character set, at an em size in pixels.
class FontRun {
 public:
  // Throws EFontError naming the face when no usable face can be loaded.
  FontRun(const TFontSpec& font, int emPixels, FontEngine& engine = SharedFontEngine());
  ~FontRun();
  FontRun(const FontRun&) = delete;
  FontRun& operator=(const FontRun&) = delete;

  int EmPixels() const { return em_; }
  int Ascent() const { return ascent_; }    // pixels above the baseline
  int Descent() const { return descent_; }  // pixels below it
  // The face the primary font resolved to (for diagnostics and tests).
  std::string FamilyName() const;

  // Floating-point A, B, C widths of one character, in pixels.
  GlyphWidths CharWidths(char32_t ch) const;
  // The A, B, C widths of the glyphs drawn first and last, left to right,
  // with any offset shaping gave them; zeros when nothing is drawn.
  GlyphWidths FirstGlyphWidths(std::string_view text) const;
  GlyphWidths LastGlyphWidths(std::string_view text) const;
  // The faces the text is set in, run by run in the text's order.
  std::vector<FaceRun> FaceRuns(std::string_view text) const;
  // At least as many path points as DrawText gives for the text.
  size_t PathPointsBound(std::string_view text) const;
  // Width in whole pixels (the shaped advances) and cell height.
  void TextExtent(std::string_view text, int32_t& width, int32_t& height) const;
  // Draws the text's outlines, underline and strike-out into the canvas's
  // open path bracket, with the top-left of the cell at (x, y).
  void DrawText(TCanvas& canvas, int32_t x, int32_t y, std::string_view text) const;

 private:
  struct Line;
  const Line& Layout(std::string_view text) const;
  Face* FaceFor(char32_t cp) const;
  GlyphWidths Widths(const PlacedGlyph& g) const;
  void DrawBars(TCanvas& canvas, const Line& line, int32_t x, double top, double thickness) const;

  FontEngine& engine_;
  FontMatch* match_;
  int em_;
  int ascent_ = 0, descent_ = 0;
  bool underline_, strikeOut_;
  std::unique_ptr<Line> line_;  // the last layout, reused when the same text is measured and then drawn
};

}  // namespace glyphor
