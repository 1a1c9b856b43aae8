// SPDX-License-Identifier: MIT
#include "core/text/utf8.h"

namespace glyphor {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at `i`, advancing `i` past it (one byte for an
// invalid lead or a broken sequence, so decoding always moves on). `valid`
// turns false at an invalid sequence.
char32_t DecodeAt(std::string_view s, size_t& i, bool& valid) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  char32_t cp, min;
  if ((b0 & 0xE0) == 0xC0)
    len = 2, cp = b0 & 0x1F, min = 0x80;
  else if ((b0 & 0xF0) == 0xE0)
    len = 3, cp = b0 & 0x0F, min = 0x800;
  else if ((b0 & 0xF8) == 0xF0)
    len = 4, cp = b0 & 0x07, min = 0x10000;
  else
    len = 0, cp = 0, min = 0;
  bool ok = len > 0 && i + len <= s.size();
  for (int k = 1; ok && k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    ok = (b & 0xC0) == 0x80;
    cp = (cp << 6) | (b & 0x3F);
  }
  ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
  if (!ok) {
    valid = false;
    ++i;
    return kReplacement;
  }
  i += len;
  return cp;
}

char32_t DecodeAt(std::string_view s, size_t& i) {
  bool valid = true;
  return DecodeAt(s, i, valid);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  bool valid = true;
  for (size_t i = 0; i < text.size() && valid;) DecodeAt(text, i, valid);
  return valid;
}

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) out.push_back(DecodeAt(text, i));
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

uint32_t FirstCharCode(std::string_view text) {
  if (text.empty()) return 0;
  size_t i = 0;
  return DecodeAt(text, i);
}

uint32_t LastCharCode(std::string_view text) {
  if (text.empty()) return 0;
  // Step back over continuation bytes to the start of the last character.
  size_t start = text.size() - 1;
  for (int k = 0; k < 3 && start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80; ++k) --start;
  size_t i = start;
  const char32_t cp = DecodeAt(text, i);
  // A sequence that does not reach the end was not the last character: the
  // last byte on its own is then invalid.
  return i == text.size() ? cp : kReplacement;
}

std::string TruncateUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut));
}

}  // namespace glyphor
