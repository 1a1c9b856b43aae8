// SPDX-License-Identifier: MIT
// The case rule of the program's names (settings sections and keys, colour
// names, file extensions, desktop names): ASCII letters only.
#pragma once

#include <string>
#include <string_view>

namespace glyphor {

// ASCII letters lower-cased, every other byte kept.
char LowerAscii(char c);
std::string LowerAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace glyphor
