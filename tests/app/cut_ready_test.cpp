// Cut-ready output as outside readers see it. rsvg-convert renders the normal
// and the cut-ready SVG of the same settings at 600 dpi: each colour covers
// the same pixels, the cut-ready picture is the same under both fill rules
// (no region overlaps another or itself, holes wind against their outers),
// and the file holds no stroke. LibreOffice opens the DXF of the same
// settings and draws the same shapes.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "core/platform/process_start.h"
#include "support/test_support.h"

namespace {

using glyphor::FindProgram;
using namespace glyphor::test;

constexpr double MinIoU = 0.99;
const std::vector<std::string> kColours = {"--fill=#FF0000", "--stroke=#0000FF"};

// A pixel as the nearest of white (0), the fill's red (1) and the stroke's blue (2).
using Classes = std::vector<uint8_t>;

struct Picture {
  int width = 0, height = 0;
  Classes classes;
};

Classes Classify(const QImage& image) {
  const QRgb palette[3] = {qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 255)};
  Classes out;
  out.reserve(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      int best = 0, bestDistance = 1 << 30;
      for (int c = 0; c < 3; ++c) {
        const int dr = qRed(line[x]) - qRed(palette[c]), dg = qGreen(line[x]) - qGreen(palette[c]),
                  db = qBlue(line[x]) - qBlue(palette[c]);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) best = c, bestDistance = distance;
      }
      out.push_back(static_cast<uint8_t>(best));
    }
  }
  return out;
}

// Renders an SVG file on white; an empty picture when the renderer failed.
Picture Render(const std::string& svg, int dpi) {
  const std::string png = svg + ".png";
  const std::string command = "rsvg-convert -d " + std::to_string(dpi) + " -p " + std::to_string(dpi) +
                              " -b white -o '" + png + "' '" + svg + "'";
  if (std::system(command.c_str()) != 0) return {};
  const QImage image = QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
  return {image.width(), image.height(), Classify(image)};
}

// Intersection over union of one class; 1 when neither picture has it.
double IoU(const Classes& a, const Classes& b, uint8_t c) {
  size_t both = 0, either = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    both += a[i] == c && b[i] == c;
    either += a[i] == c || b[i] == c;
  }
  return either ? static_cast<double>(both) / static_cast<double>(either) : 1.0;
}

std::string SvgHead(const std::string& doc) {
  const size_t start = doc.find("<svg ");
  return start == std::string::npos ? "" : doc.substr(start, doc.find('>', start) + 1 - start);
}

struct Case {
  const char* name;
  const char* font;
  const char* text;
  std::vector<std::string> options;
  std::vector<std::string> ids;  // the layers' ids, bottom first
};

const Case kCases[] = {
    {"LatinNormalMiter", "DejaVu Sans", "Wavy AV&g@1", {"--join=miter"}, {"outline", "fill"}},
    {"LatinTwoLayerRound", "DejaVu Sans", "Wavy AV&g@1", {"--two-layer", "--join=round"}, {"outline", "fill"}},
    {"LatinTransparentBevel", "DejaVu Sans", "Wavy AV&g@1", {"--transparent", "--join=bevel"}, {"outline"}},
    {"JapaneseNormalRound", "IPAPGothic", "夜景あゆみ", {"--join=round"}, {"outline", "fill"}},
    {"JapaneseTwoLayerBevel", "IPAPGothic", "夜景あゆみ", {"--two-layer", "--join=bevel"}, {"outline", "fill"}},
    {"JapaneseTransparentMiter", "IPAPGothic", "夜景あゆみ", {"--transparent", "--join=miter"}, {"outline"}},
    {"MixedNoStroke", "IPAPGothic", "Kiss 袋文字", {"--stroke-width=0"}, {"fill"}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class CutReadyRender : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (FindProgram("rsvg-convert").empty()) GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
  }
  TempDir dir;
};

TEST_P(CutReadyRender, LooksLikeTheNormalPictureWithoutStrokesOrOverlaps) {
  const Case& c = GetParam();
  std::vector<std::string> args = {"-q", "--font", c.font, "-t", c.text, "--size=100", "--stroke-width=3"};
  args.insert(args.end(), kColours.begin(), kColours.end());
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::vector<std::string> normalArgs = args, cutArgs = args;
  normalArgs.insert(normalArgs.end(), {"-o", dir / "normal.svg"});
  cutArgs.insert(cutArgs.end(), {"--cut-ready", "-o", dir / "cut.svg"});
  ASSERT_EQ(RunGlyphor(normalArgs).exitCode, 0);
  const RunResult run = RunGlyphor(cutArgs);
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::string normal = ReadFile(dir / "normal.svg"), cut = ReadFile(dir / "cut.svg");
  EXPECT_EQ(SvgHead(cut), SvgHead(normal)) << "page size and view box";
  // One filled path a layer, no stroke.
  std::vector<std::string> ids;
  const std::regex head("<path id=\"(\\w+)\" style=\"fill:#[0-9A-F]{6}; stroke:none\" d=\"\"/>");
  for (size_t at = 0; (at = cut.find("<path", at)) != std::string::npos; ++at) {
    const std::string element = cut.substr(at, cut.find("/>", at) + 2 - at);
    std::smatch m;
    // The data is matched apart: the regular expression engine recurses once a character.
    const size_t data = element.find(" d=\"");
    ASSERT_NE(data, std::string::npos);
    const std::string shape = element.substr(0, data) + " d=\"\"/>";
    ASSERT_TRUE(std::regex_match(shape, m, head)) << element.substr(0, 80);
    EXPECT_EQ(element.find_first_not_of("-0123456789. MLz\r\n", data + 4), element.size() - 3);
    ids.push_back(m[1]);
  }
  EXPECT_EQ(ids, c.ids);
  EXPECT_EQ(cut.find("stroke-width"), std::string::npos);

  std::string evenOdd = cut;
  for (size_t at = 0; (at = evenOdd.find("stroke:none", at)) != std::string::npos; at += 11)
    evenOdd.insert(at + 11, "; fill-rule:evenodd");
  WriteFile(dir / "evenodd.svg", evenOdd);

  const Picture a = Render(dir / "normal.svg", 600), b = Render(dir / "cut.svg", 600),
                e = Render(dir / "evenodd.svg", 600);
  ASSERT_FALSE(a.classes.empty());
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  ASSERT_EQ(b.classes.size(), e.classes.size());
  EXPECT_GE(IoU(a.classes, b.classes, 1), MinIoU) << "fill";
  EXPECT_GE(IoU(a.classes, b.classes, 2), MinIoU) << "stroke";
  EXPECT_EQ(std::mismatch(b.classes.begin(), b.classes.end(), e.classes.begin()).first, b.classes.end())
      << "even-odd and nonzero filling differ";
}

INSTANTIATE_TEST_SUITE_P(Modes, CutReadyRender, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
