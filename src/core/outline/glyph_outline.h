// SPDX-License-Identifier: MIT
// Outline emission: placed glyphs and text decorations drawn into a
// surface's path bracket in whole pixels, quadratic segments raised to cubic.
#pragma once

#include <climits>
#include <cstdint>
#include <vector>

#include "core/outline/canvas.h"
#include "core/outline/face.h"

namespace glyphor {

struct PlacedGlyph;

// Draws each glyph's contours, closed, with the line's origin at x and its
// baseline at y (pixels, y down). `em` is the em size in pixels.
void EmitGlyphs(TCanvas& canvas, const std::vector<PlacedGlyph>& glyphs, int em, double x, double baseline);

// A closed rectangle from x0 to x1 whose top edge is `top` pixels down and
// which is `thickness` pixels thick (at least 1): an underline or strike-out.
// It winds as the outlines of a face that winds counter-clockwise (y up)
// when `counterClockwise`, else as TrueType outlines do, so that under the
// non-zero rule it merges with the glyphs it crosses instead of cutting them.
void EmitBar(TCanvas& canvas, int32_t x0, int32_t x1, double top, double thickness, bool counterClockwise);

[[noreturn]] void ThrowTextTooLong();

// A pixel coordinate rounded to the nearest whole pixel, halves away from
// zero (as lround). Throws EOutOfResources "テキストが長すぎます" beyond 32
// bits, where a coordinate would wrap round (a hostile font's huge advances,
// or a very long text). Inline: every point of every glyph passes here.
inline int32_t WholePixel(double v) {
  // Half a pixel inside the range, so that the rounding stays in it; a NaN fails too.
  if (!(v > INT32_MIN + 0.5 && v < INT32_MAX - 0.5)) ThrowTextTooLong();
  const auto whole = static_cast<int32_t>(v);  // towards zero
  const double part = v - whole;               // exact: |v| < 2^31
  return part >= 0.5 ? whole + 1 : part <= -0.5 ? whole - 1 : whole;
}

}  // namespace glyphor
