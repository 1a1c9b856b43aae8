// SPDX-License-Identifier: MIT
// Colour texts of the settings file: a name of the colour table, or "$" and
// eight hex digits. A colour has red in the low byte; the top bit marks a
// system colour (80000000 + index).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphor {

struct ColorName {
  const char* Name;
  uint32_t Value;
};

// No two rows share a name (ignoring ASCII case) or a value.
extern const std::array<ColorName, 52> ColorNameTable;

// The row's name when the table holds the value, else "$" and eight
// upper-case hex digits ("$000080FF" for orange).
std::string ColorToText(uint32_t color);

// The value of a table name (ASCII case ignored), else the text read as an
// integer. Throws EConvertError "'<text>' は整数ではありません" otherwise.
uint32_t TextToColor(const std::string& text);

// The colour of an HTML colour text "#RRGGBB" (hex digits of either case),
// red in the low byte; nullopt for any other text.
std::optional<uint32_t> HtmlTextToColor(std::string_view text);

}  // namespace glyphor
