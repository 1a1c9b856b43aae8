// SPDX-License-Identifier: MIT
// A font made to overflow: DejaVu Sans with an em of 16 units and every
// advance 32767 units, the only face fontconfig knows in the run.
#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace glyphor::test;

namespace {

uint32_t Read32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
         uint8_t(b[at + 3]);
}
uint16_t Read16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) << 8 | uint8_t(b[at + 1])); }
void Write16(std::string& b, size_t at, uint16_t v) {
  b[at] = char(v >> 8);
  b[at + 1] = char(v & 0xFF);
}

// Where the table `tag` starts in an OpenType file.
size_t TableAt(const std::string& font, const char* tag) {
  const uint16_t count = Read16(font, 4);
  for (size_t i = 0; i < count; ++i)
    if (font.compare(12 + 16 * i, 4, tag) == 0) return Read32(font, 12 + 16 * i + 8);
  ADD_FAILURE() << "no table " << tag;
  return 0;
}

std::string HostileFont() {
  std::string font = ReadFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  EXPECT_FALSE(font.empty());
  Write16(font, TableAt(font, "head") + 18, 16);  // unitsPerEm
  const uint16_t metrics = Read16(font, TableAt(font, "hhea") + 34);
  const size_t hmtx = TableAt(font, "hmtx");
  for (size_t g = 0; g < metrics; ++g) Write16(font, hmtx + 4 * g, 32767);
  return font;
}

}  // namespace

// 2000 letters at 1200 dpi are billions of pixels wide: the run fails with a
// message and writes nothing, where the coordinates used to wrap round into a
// wrong drawing reported as a success. Two letters still convert.
TEST(HostileFont, CoordinatesBeyond32BitsFailTheConversion) {
  TempDir dir;
  std::filesystem::create_directories(dir / "fonts");
  WriteFile(dir / "fonts/hostile.ttf", HostileFont());
  WriteFile(dir / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + (dir / "fonts") + "</dir><cachedir>" +
                                    (dir / "fc-cache") + "</cachedir></fontconfig>\n");
  const std::vector<std::string> env{"HOME=" + dir.path(), "FONTCONFIG_FILE=" + (dir / "fonts.conf"),
                                     "GLYPHOR_NO_FACE_CACHE=1"};
  auto settings = [](const std::string& text) {
    return "[Font]\nFontName=DejaVu Sans\nFontCharset=0\nFontText=" + text + "\n[SVG]\nResolution=1200\nView=0\n";
  };

  WriteFile(dir / "long.gly", settings(std::string(2000, 'A')));
  const RunResult longRun = RunGlyphor({dir / "long.gly"}, env);
  EXPECT_NE(longRun.exitCode, 0);
  EXPECT_NE(longRun.err.find("テキストが長すぎます"), std::string::npos) << longRun.err;
  EXPECT_FALSE(FileExists(dir / "long.svg"));

  WriteFile(dir / "short.gly", settings("AA"));
  const RunResult shortRun = RunGlyphor({dir / "short.gly"}, env);
  EXPECT_EQ(shortRun.exitCode, 0) << shortRun.err;
  EXPECT_TRUE(FileExists(dir / "short.svg"));
}
