// SPDX-License-Identifier: MIT
// Integer texts of the settings file: how numbers are read and written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphor {

// Reads optional leading spaces, an optional "+" or "-", then either decimal
// digits fitting a signed 32-bit number, or a hexadecimal prefix ("$", "x",
// "X", "0x", "0X") and hex digits fitting 32 bits, taken as the bit pattern
// ($FFFFFFFF is -1; a sign before the prefix changes nothing). Nothing may
// follow. Any other text, the empty one included, gives nullopt.
std::optional<int32_t> TextToInt(std::string_view text);

// Decimal digits, "-" in front of a negative number.
std::string IntToText(int32_t value);

}  // namespace glyphor
