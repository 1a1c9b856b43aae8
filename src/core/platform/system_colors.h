// SPDX-License-Identifier: MIT
// System colours (80000000 hexadecimal + the system-colour index) resolved to
// plain RGB, red in the low byte, from the standard default colours of the
// Windows desktop: there is no live system palette to ask on Linux.
#pragma once

#include <cstdint>

namespace glyphor {

inline constexpr uint32_t SystemColorFlag = 0x80000000;

constexpr bool IsSystemColor(uint32_t color) { return (color & SystemColorFlag) != 0; }

// The default RGB of system-colour `index` (COLOR_BTNFACE 15 gives 240,240,240);
// black for index 25 and for indexes the table does not know.
uint32_t SystemColorRGB(uint32_t index);

// A system colour becomes its RGB; any other value keeps its low three bytes.
uint32_t ColorToRGB(uint32_t color);

}  // namespace glyphor
