// SPDX-License-Identifier: MIT
#include "core/platform/system_colors.h"

#include <array>

namespace glyphor {

namespace {

constexpr uint32_t RGB(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// GetSysColor's answers on a freshly installed Windows 10 with the default
// theme, by COLOR_* index.
constexpr std::array<uint32_t, 31> DefaultSystemColors = {
    RGB(200, 200, 200),  //  0 COLOR_SCROLLBAR
    RGB(0, 0, 0),        //  1 COLOR_BACKGROUND
    RGB(153, 180, 209),  //  2 COLOR_ACTIVECAPTION
    RGB(191, 205, 219),  //  3 COLOR_INACTIVECAPTION
    RGB(240, 240, 240),  //  4 COLOR_MENU
    RGB(255, 255, 255),  //  5 COLOR_WINDOW
    RGB(100, 100, 100),  //  6 COLOR_WINDOWFRAME
    RGB(0, 0, 0),        //  7 COLOR_MENUTEXT
    RGB(0, 0, 0),        //  8 COLOR_WINDOWTEXT
    RGB(0, 0, 0),        //  9 COLOR_CAPTIONTEXT
    RGB(180, 180, 180),  // 10 COLOR_ACTIVEBORDER
    RGB(244, 247, 252),  // 11 COLOR_INACTIVEBORDER
    RGB(171, 171, 171),  // 12 COLOR_APPWORKSPACE
    RGB(0, 120, 215),    // 13 COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // 14 COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240),  // 15 COLOR_BTNFACE
    RGB(160, 160, 160),  // 16 COLOR_BTNSHADOW
    RGB(109, 109, 109),  // 17 COLOR_GRAYTEXT
    RGB(0, 0, 0),        // 18 COLOR_BTNTEXT
    RGB(0, 0, 0),        // 19 COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // 20 COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105),  // 21 COLOR_3DDKSHADOW
    RGB(227, 227, 227),  // 22 COLOR_3DLIGHT
    RGB(0, 0, 0),        // 23 COLOR_INFOTEXT
    RGB(255, 255, 225),  // 24 COLOR_INFOBK
    RGB(0, 0, 0),        // 25 has no colour; GetSysColor answers 0
    RGB(0, 102, 204),    // 26 COLOR_HOTLIGHT
    RGB(185, 209, 234),  // 27 COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242),  // 28 COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 120, 215),    // 29 COLOR_MENUHILIGHT
    RGB(240, 240, 240),  // 30 COLOR_MENUBAR
};

}  // namespace

uint32_t SystemColorRGB(uint32_t index) { return index < DefaultSystemColors.size() ? DefaultSystemColors[index] : 0; }

uint32_t ColorToRGB(uint32_t color) {
  if (IsSystemColor(color)) return SystemColorRGB(color & ~SystemColorFlag);
  return color & 0x00FFFFFF;
}

}  // namespace glyphor
