// SPDX-License-Identifier: MIT
#include "core/text/utf8.h"

#include <gtest/gtest.h>

namespace glyphor {
namespace {

TEST(Utf8, FirstAndLastCharacters) {
  EXPECT_EQ(FirstCharCode("袋文字"), 0x888Bu);
  EXPECT_EQ(LastCharCode("袋文字"), 0x5B57u);
  EXPECT_EQ(FirstCharCode("\xff"
                          "A"),
            0xFFFDu);
  EXPECT_EQ(LastCharCode("A\xe8\xa2"), 0xFFFDu);  // truncated sequence
  EXPECT_EQ(LastCharCode("A\xe8\xa2\x8b"), 0x888Bu);
  EXPECT_EQ(FirstCharCode(""), 0u);
  EXPECT_EQ(LastCharCode(""), 0u);
}

TEST(Utf8, InvalidSequencesAreReplacedAndRefused) {
  EXPECT_EQ(DecodeUtf8("\xc0\x80").size(), 2u);     // overlong: two replacement characters
  EXPECT_TRUE(IsValidUtf8("袋文字 \xef\xbf\xbd"));  // a real U+FFFD is valid
  EXPECT_FALSE(IsValidUtf8("\xc0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));              // a surrogate
  EXPECT_FALSE(IsValidUtf8("\x91\xdc\x95\xb6\x8e\x9a"));  // 袋文字 in Shift-JIS
}

TEST(Utf8, CutsEndOnACharacterBoundary) {
  EXPECT_EQ(TruncateUtf8("ＭＳ", 5), "Ｍ");
  EXPECT_EQ(TruncateUtf8("ＭＳ", 6), "ＭＳ");
}

}  // namespace
}  // namespace glyphor
