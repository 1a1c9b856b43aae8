// Character codes of a UTF-8 text: its first and last characters and their
// overhangs in a font.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glyphor {

class FontRun;

// ASCII letters lower-cased, every other byte kept: the case rule of the
// program's names (settings sections and keys, colour names, extensions).
char LowerAscii(char c);
std::string LowerAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates
// or code points above U+10FFFF.
bool IsValidUtf8(std::string_view text);
// Decodes UTF-8; each invalid or truncated sequence becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

// Unicode scalar value of the first / last character, 0 for an empty text.
uint32_t FirstCharCode(std::string_view text);
uint32_t LastCharCode(std::string_view text);

// Whole pixels by which the first character's glyph reaches left of its
// origin, and the last character's glyph beyond its advance, in `font`.
int LeftOverhang(const FontRun& font, std::string_view text);
int RightOverhang(const FontRun& font, std::string_view text);

}  // namespace glyphor
