// SPDX-License-Identifier: MIT
#include "core/settings/colors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/platform/errors.h"
#include "core/text/int_text.h"

namespace glyphor {
namespace {

TEST(IntText, DecimalWithSignsSpacesAndLimits) {
  EXPECT_EQ(TextToInt("0"), 0);
  EXPECT_EQ(TextToInt("  42"), 42);
  EXPECT_EQ(TextToInt("+7"), 7);
  EXPECT_EQ(TextToInt("-3"), -3);
  EXPECT_EQ(TextToInt("007"), 7);
  EXPECT_EQ(TextToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(TextToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(TextToInt("2147483648"), std::nullopt);
  EXPECT_EQ(TextToInt("-2147483649"), std::nullopt);
  EXPECT_EQ(TextToInt("99999999999999999999"), std::nullopt);
}

TEST(IntText, HexadecimalIsTheBitPatternAndIgnoresTheSign) {
  EXPECT_EQ(TextToInt("$FF"), 255);
  EXPECT_EQ(TextToInt("$ff"), 255);
  EXPECT_EQ(TextToInt("xFf"), 255);
  EXPECT_EQ(TextToInt("X10"), 16);
  EXPECT_EQ(TextToInt("0xff"), 255);
  EXPECT_EQ(TextToInt("0XFF"), 255);
  EXPECT_EQ(TextToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(TextToInt("$80000000"), INT32_MIN);
  EXPECT_EQ(TextToInt("$00000000FF"), 255);
  EXPECT_EQ(TextToInt("-$1"), 1);
  EXPECT_EQ(TextToInt(" +0x10"), 16);
  EXPECT_EQ(TextToInt("$100000000"), std::nullopt);
}

TEST(IntText, AnythingElseIsNoInteger) {
  for (const char* text : {"", " ", "-", "+", "$", "0x", "x", "1 ", "1a", "12abc", "true", "\t1", "1.5", "--1", "+-1",
                           "$G", "0x-1", "$ 1", "１２"})
    EXPECT_EQ(TextToInt(text), std::nullopt) << "'" << text << "'";
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
}

TEST(Colors, TableHasUniqueNamesAndValuesAndNoIndex25) {
  std::set<std::string> names;
  std::set<uint32_t> values;
  for (const auto& row : ColorNameTable) {
    std::string lower = row.Name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    names.insert(lower);
    values.insert(row.Value);
  }
  EXPECT_EQ(names.size(), 52u);
  EXPECT_EQ(values.size(), 52u);
  EXPECT_EQ(values.count(0x80000019), 0u);
  EXPECT_EQ(TextToColor("clSkyBlue"), 0x00F0CAA6u);
  EXPECT_EQ(TextToColor("clMedGray"), 0x00A4A0A0u);
  EXPECT_EQ(TextToColor("clNone"), 0x1FFFFFFFu);
  EXPECT_EQ(TextToColor("clDefault"), 0x20000000u);
  EXPECT_EQ(TextToColor("clInfoBk"), 0x80000018u);
  EXPECT_EQ(TextToColor("clHotLight"), 0x8000001Au);
  EXPECT_EQ(TextToColor("clMenuBar"), 0x8000001Eu);
}

TEST(Colors, TextOfAColourIsItsNameElseEightHexDigits) {
  EXPECT_EQ(ColorToText(0x000000FF), "clRed");
  EXPECT_EQ(ColorToText(0x00000000), "clBlack");
  EXPECT_EQ(ColorToText(0x80000005), "clWindow");
  EXPECT_EQ(ColorToText(0x000080FF), "$000080FF");
  EXPECT_EQ(ColorToText(0x80000019), "$80000019");
  EXPECT_EQ(ColorToText(0xABCDEF01), "$ABCDEF01");
  for (uint32_t c : {0x000080FFu, 0x80000019u, 0x00123456u, 0xFFFFFFFFu}) EXPECT_EQ(TextToColor(ColorToText(c)), c);
  for (const auto& row : ColorNameTable) EXPECT_EQ(TextToColor(ColorToText(row.Value)), row.Value);
}

TEST(Colors, NamesIgnoreCaseAndIntegersAreColours) {
  EXPECT_EQ(TextToColor("clred"), 0x000000FFu);
  EXPECT_EQ(TextToColor("CLRED"), 0x000000FFu);
  EXPECT_EQ(TextToColor("255"), 0x000000FFu);
  EXPECT_EQ(TextToColor("$FF"), 0x000000FFu);
  EXPECT_EQ(TextToColor("0xff"), 0x000000FFu);
  EXPECT_EQ(TextToColor("-$1"), 1u);
  EXPECT_EQ(TextToColor("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(TextToColor("$000080FF"), 0x000080FFu);
}

TEST(Colors, OtherTextsRaiseTheMessage) {
  for (const std::string text : {"red", "", "clRed ", " clRed", "clReds", "$GG"}) {
    try {
      TextToColor(text);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + text + "' は整数ではありません");
    }
  }
}

}  // namespace
}  // namespace glyphor
