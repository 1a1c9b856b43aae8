// SPDX-License-Identifier: MIT
#include "gui/window/qt_colors.h"

#include "core/platform/system_colors.h"

namespace glyphor {

QColor ToQColor(uint32_t color) {
  const uint32_t rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

uint32_t FromQColor(const QColor& color) {
  const QColor c = color.toRgb();
  return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 | static_cast<uint32_t>(c.blue()) << 16;
}

}  // namespace glyphor
