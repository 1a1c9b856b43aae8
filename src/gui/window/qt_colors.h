// SPDX-License-Identifier: MIT
// Colour values of the program (red in the low byte, the top bit marking a
// system colour) to and from Qt colours.
#pragma once

#include <cstdint>

#include <QColor>

namespace glyphor {

// A system colour shows as its resolved RGB; the top byte of others is ignored.
QColor ToQColor(uint32_t color);
// An opaque colour value, red in the low byte.
uint32_t FromQColor(const QColor& color);

}  // namespace glyphor
