// SPDX-License-Identifier: MIT
// UTF-8 texts: checking, decoding, and their first and last characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace glyphor {

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates
// or code points above U+10FFFF.
bool IsValidUtf8(std::string_view text);
// Decodes UTF-8; each invalid or truncated sequence becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
// Encodes code points as UTF-8; surrogates and values above U+10FFFF become U+FFFD.
std::string EncodeUtf8(std::u32string_view text);

// Unicode scalar value of the first / last character, 0 for an empty text.
uint32_t FirstCharCode(std::string_view text);
uint32_t LastCharCode(std::string_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// UTF-8 character boundary.
std::string TruncateUtf8(std::string_view text, size_t maxBytes);

}  // namespace glyphor
