// SPDX-License-Identifier: MIT
// Settings files from anywhere given to the batch program: junk bytes,
// invalid UTF-8, huge lines, extreme numbers, broken fonts, control
// characters. Each run ends by itself with a clear outcome: status 0 with an
// SVG, or status 1 with a message and no SVG; never a signal or a hang.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace glyphor::test;

namespace {

constexpr int kTimeoutSeconds = 30;

class HostileInput : public ::testing::Test {
 protected:
  TempDir home, cache;
  std::vector<std::string> Env() const { return UserEnvironment(home, cache); }
  // Writes `body` as <name>.gly, converts it and checks the outcome; returns
  // the run for further checks.
  RunResult Convert(const std::string& name, const std::string& body, const std::vector<std::string>& extraEnv = {}) {
    const std::string gly = home / (name + ".gly"), svg = home / (name + ".svg");
    WriteFile(gly, body);
    std::vector<std::string> env = Env();
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    const RunResult r = RunGlyphor({gly}, env, kTimeoutSeconds);
    SCOPED_TRACE(name);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    if (r.exitCode == 0) {
      EXPECT_EQ(ReadFile(svg).rfind("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<svg ", 0), 0u);
      EXPECT_NE(ReadFile(svg).find("</svg>\r\n"), std::string::npos);
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_GT(r.err.size(), 1u);
      EXPECT_EQ(r.err.back(), '\n');
      EXPECT_FALSE(FileExists(svg));
    }
    return r;
  }
  static std::string Settings(const std::string& fontLines, const std::string& svgLines = "") {
    return "[Font]\r\n" + fontLines + "[SVG]\r\nView=0\r\n" + svgLines;
  }
};

TEST_F(HostileInput, JunkBytesAndInvalidUtf8) {
  std::mt19937 random(7);
  std::string junk(4096, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  Convert("junk", junk);
  // The same junk after a valid start (its NUL bytes make it no text: refused).
  Convert("junk_tail", Settings("FontName=DejaVu Sans\r\nFontText=A\r\n") + junk);

  const std::string invalid = "\xC3\x28 \xA0\xA1 \xE2\x82 \xF0\x28\x8C\xBC \xF8\xA1\xA1\xA1\xA1 \xED\xA0\x80 \xC0\xAF";
  EXPECT_EQ(Convert("invalid", Settings("FontName=DejaVu Sans\r\nFontText=A" + invalid + "\r\n")).exitCode, 0);
  Convert("invalid_name", Settings("FontName=" + invalid + "\r\nFontText=A\r\n"));
  Convert("nul", Settings("FontName=DejaVu Sans\r\nFontText=A" + std::string(1, '\0') + "B\r\n"));
}

TEST_F(HostileInput, HugeLinesAndLongTexts) {
  // One 4 MB line and nothing else: no section, so the defaults convert.
  Convert("one_line", std::string(4 << 20, 'x'));
  // A 4 MB text value is cut, the rest of the file still read.
  const RunResult big = Convert("big_value", Settings("FontName=DejaVu Sans\r\nFontText=" + std::string(4 << 20, 'W') +
                                                      "\r\nFontColor=clBlue\r\n"));
  EXPECT_EQ(big.exitCode, 0) << big.err;
  EXPECT_NE(ReadFile(home / "big_value.svg").find("fill:#0000FF"), std::string::npos);
  // 10 000 characters of three bytes each.
  std::string kanji;
  for (int i = 0; i < 10000; ++i) kanji += "\xE6\x97\xA5";
  EXPECT_EQ(Convert("kanji", Settings("FontName=IPAPGothic\r\nFontText=" + kanji + "\r\n")).exitCode, 0);
}

TEST_F(HostileInput, ExtremeNumbersInEveryKey) {
  const char* keys[] = {"FontSize",     "FontStyle",      "FontCharset",     "FontStrokeWidth",
                        "FontLineJoin", "FontMiterLimit", "FontTransparent", "FontFukuromoji"};
  const char* values[] = {"2147483647", "-2147483648", "$FFFFFFFF", "99999999999", "-5", "0", "$80000000"};
  int n = 0;
  // Also welded for cutters: a curve of a letter kilometres tall is cut into
  // no more pieces than a metre-tall one's, so the run stays short.
  for (const char* cut : {"0", "1"})
    for (const char* value : values) {
      std::string font = "FontName=DejaVu Sans\r\nFontText=Ag\r\n";
      for (const char* key : keys) font += std::string(key) + "=" + value + "\r\n";
      const RunResult r = Convert("numbers" + std::to_string(n++),
                                  Settings(font, std::string("Resolution=") + value + "\r\nCutReady=" + cut + "\r\n"));
      EXPECT_EQ(r.exitCode, 0) << value << ": " << r.err;
      EXPECT_LT(ReadFile(home / ("numbers" + std::to_string(n - 1) + ".svg")).size(), 4u << 20) << value;
    }
  // Colour keys with numbers at the edges of 32 bits, and past them.
  EXPECT_EQ(
      Convert("colour_max", Settings("FontName=DejaVu Sans\r\nFontColor=$FFFFFFFF\r\nFontStrokeColor=-2147483648\r\n"))
          .exitCode,
      0);
  const RunResult past = Convert("colour_past", Settings("FontName=DejaVu Sans\r\nFontColor=99999999999\r\n"));
  EXPECT_EQ(past.exitCode, 1);
  EXPECT_EQ(past.err, "'99999999999' は整数ではありません\n");
}

TEST_F(HostileInput, ControlCharactersAndEmoji) {
  std::string controls;
  for (char c = 1; c < 32; ++c)
    if (c != '\r' && c != '\n') controls += c;
  EXPECT_EQ(Convert("controls", Settings("FontName=DejaVu Sans\r\nFontText=A" + controls + "\x7F" + "B\r\n")).exitCode,
            0);
  // Emoji, a combining mark, joiners, a variation selector, a private-use and
  // a non-character code point, a right-to-left mark.
  const std::string mixed =
      "\xF0\x9F\x98\x80\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9 e\xCC\x81 \xE2\x9D\xA4\xEF\xB8\x8F"
      "\xEE\x80\x80\xEF\xBF\xBF\xE2\x80\x8F\xF4\x8F\xBF\xBF";
  EXPECT_EQ(Convert("emoji", Settings("FontName=DejaVu Sans\r\nFontText=" + mixed + "\r\n")).exitCode, 0);
  EXPECT_EQ(Convert("emoji_styled", Settings("FontName=IPAPGothic\r\nFontStyle=15\r\nFontText=" + mixed + "\r\n",
                                             "Resolution=1200\r\n"))
                .exitCode,
            0);
}

// A font that fontconfig listed while it was sound and that has been
// damaged since: fontconfig trusts its cache while the folder is unchanged.
TEST_F(HostileInput, FontFileThatIsNoLongerAFont) {
  const std::string source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!FileExists(source)) GTEST_SKIP() << source << " is not installed";
  std::filesystem::create_directories(home / "fonts");
  const std::string font = home / "fonts/DejaVuSans.ttf";
  std::filesystem::copy_file(source, font);
  WriteFile(home / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + home / "fonts" + "</dir><cachedir>" +
                                     home / "fc-cache" + "</cachedir></fontconfig>\n");
  const std::vector<std::string> env{"FONTCONFIG_FILE=" + home / "fonts.conf", "GLYPHOR_NO_FACE_CACHE=1"};
  const std::string body = Settings("FontName=DejaVu Sans\r\nFontText=Ag\r\n");
  ASSERT_EQ(Convert("sound", body, env).exitCode, 0);  // fontconfig caches the folder

  // Damaged in place, the folder's time unchanged: cut short, then junk.
  const std::string whole = ReadFile(font);
  const auto folderTime = std::filesystem::last_write_time(home / "fonts");
  WriteFile(font, whole.substr(0, 20000));
  std::filesystem::last_write_time(home / "fonts", folderTime);
  Convert("cut", body, env);
  WriteFile(font, std::string(whole.size(), '\x5A'));
  std::filesystem::last_write_time(home / "fonts", folderTime);
  const RunResult junk = Convert("junk_font", body, env);
  EXPECT_EQ(junk.exitCode, 1);
  EXPECT_EQ(junk.err, "フォント DejaVu Sans を読み込めません\n");
}

}  // namespace
