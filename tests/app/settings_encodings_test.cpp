// SPDX-License-Identifier: MIT
// Batch settings files saved by other editors: UTF-16 with its byte-order
// mark, UTF-8 with one, Shift-JIS lines beside UTF-8 ones, a stray byte.
// Each must convert exactly as the plain UTF-8 file does; a file that holds
// no text must end with a message, not with the defaults.
#include <gtest/gtest.h>

#include <iconv.h>

#include "support/test_support.h"

using namespace glyphor::test;

namespace {

class SettingsEncodings : public ::testing::Test {
 protected:
  TempDir home, cache;
  std::vector<std::string> Env() const {
    std::vector<std::string> env = UserEnvironment(home, cache);
    env.push_back("GLYPHOR_NO_FACE_CACHE=1");
    return env;
  }
  // Converts `bytes` saved as <name>.gly; returns the SVG, "" on failure.
  std::string Convert(const std::string& name, const std::string& bytes) {
    WriteFile(home / (name + ".gly"), bytes);
    const RunResult r = RunGlyphor({home / (name + ".gly")}, Env());
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_EQ(r.err, "") << name;
    return ReadFile(home / (name + ".svg"));
  }
};

}  // namespace

TEST_F(SettingsEncodings, EveryEncodingConvertsAsUtf8Does) {
  const std::string text =
      "[Font]\r\nFontName=IPAPGothic\r\nFontSize=48\r\nFontColor=clBlue\r\nFontText=袋文字～ｶﾅ\r\n"
      "[SVG]\r\nView=0\r\n";
  const std::string reference = Convert("utf8", text);
  ASSERT_NE(reference.find("fill:#0000FF"), std::string::npos) << "the keys were not read";

  EXPECT_EQ(Convert("utf8_bom", "\xEF\xBB\xBF" + text), reference);
  EXPECT_EQ(Convert("utf16le", "\xFF\xFE" + Encode(text, "UTF-16LE")), reference);
  EXPECT_EQ(Convert("utf16be", "\xFE\xFF" + Encode(text, "UTF-16BE")), reference);
  // Each line in its own encoding (the face by its Japanese name in
  // Shift-JIS, the text in UTF-8); a stray byte spoils only its own line.
  const std::string mixed = Encode("[Font]\r\nFontName=IPA Pゴシック\r\n", "CP932") +
                            "Stray=ＭＳ\xFF\r\nFontSize=48\r\nFontColor=clBlue\r\nFontText=袋文字～ｶﾅ\r\n"
                            "[SVG]\r\nView=0\r\n";
  EXPECT_EQ(Convert("mixed", mixed), reference);
}

TEST_F(SettingsEncodings, AFileOfNoTextIsRefusedWithItsMessage) {
  // UTF-16 without its mark, and a binary file: no defaults, no viewer.
  const std::string text = "[Font]\r\nFontText=A\r\n[SVG]\r\nView=0\r\n";
  for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"nomark", Encode(text, "UTF-16LE")},
                                    {"binary", std::string("\x7F"
                                                           "ELF\x02\x01\x01\0\0\0",
                                                           10) +
                                                   text}}) {
    const std::string gly = home / (name + ".gly");
    WriteFile(gly, bytes);
    const RunResult r = RunGlyphor({gly}, Env());
    EXPECT_EQ(r.exitCode, 1) << name;
    EXPECT_EQ(r.err, gly + " を読み込めません\n");
    EXPECT_FALSE(FileExists(home / (name + ".svg")));
  }
}
