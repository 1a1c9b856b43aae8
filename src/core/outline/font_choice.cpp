// SPDX-License-Identifier: MIT
#include "core/outline/font_choice.h"

#include <climits>
#include <cmath>

namespace glyphor {

// Rounds halves away from zero, saturating at the ends of int.
static int RoundToInt(double v) {
  if (!(v > INT_MIN)) return INT_MIN;
  if (!(v < INT_MAX)) return INT_MAX;
  return static_cast<int>(std::llround(v));
}

int PointsToPixels(int size, int ppi) { return RoundToInt(static_cast<double>(size) * ppi / PointsPerInch); }

int PixelsToPoints(int pixels, int ppi) { return RoundToInt(static_cast<double>(pixels) * PointsPerInch / ppi); }

const char* LanguageForCharset(uint8_t charset) {
  switch (charset) {
    case 128: return "ja";
    case 129: return "ko";
    case 134: return "zh-cn";
    case 136: return "zh-tw";
    case 161: return "el";
    case 162: return "tr";
    case 177: return "he";
    case 178: return "ar";
    case 186: return "lt";
    case 204: return "ru";
    case 222: return "th";
    case 238: return "cs";
    default: return nullptr;
  }
}

}  // namespace glyphor
