// SPDX-License-Identifier: MIT
// Cut-ready output as outside readers see it. rsvg-convert renders the normal
// and the cut-ready SVG of the same settings at 600 dpi: each colour covers
// the same pixels, the cut-ready picture is the same under both fill rules
// (no region overlaps another or itself, holes wind against their outers),
// and the file holds no stroke. LibreOffice opens the DXF of the same
// settings and draws the same shapes.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdio>
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
  int size;  // points
  std::vector<std::string> options;
  std::vector<std::string> ids;  // the layers' ids, bottom first
};

// A 3 mm stroke leaves of a Japanese face's fill at 100 points mere slivers,
// whose pixels are all edge: there two tolerances of 0.005 mm (the cut's and
// the renderer's own flattening) and the renderer's unstroked gaps beside
// tight curves (with bevel joins) weigh more than the picture. So the normal
// mode of the Japanese face is set larger.
const Case kCases[] = {
    {"LatinNormalMiter", "DejaVu Sans", "WAg&@y", 100, {"--join=miter"}, {"outline", "fill"}},
    {"LatinTwoLayerRound", "DejaVu Sans", "WAg&@y", 100, {"--two-layer", "--join=round"}, {"outline", "fill"}},
    {"LatinTransparentBevel", "DejaVu Sans", "WAg&@y", 100, {"--transparent", "--join=bevel"}, {"outline"}},
    {"JapaneseNormalRound", "IPAPGothic", "夜景あ", 150, {"--join=round"}, {"outline", "fill"}},
    {"JapaneseTwoLayerBevel", "IPAPGothic", "夜あゆ", 100, {"--two-layer", "--join=bevel"}, {"outline", "fill"}},
    {"JapaneseTransparentMiter", "IPAPGothic", "夜あゆ", 100, {"--transparent", "--join=miter"}, {"outline"}},
    {"MixedNoStroke", "IPAPGothic", "Kiss 袋文字", 100, {"--stroke-width=0"}, {"fill"}},
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
  std::vector<std::string> args = {
      "-q", "--font", c.font, "-t", c.text, "--size=" + std::to_string(c.size), "--stroke-width=3"};
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
  const double fill = IoU(a.classes, b.classes, 1), stroke = IoU(a.classes, b.classes, 2);
  std::printf("%s: IoU fill %.5f, stroke %.5f\n", c.name, fill, stroke);
  EXPECT_GE(fill, MinIoU);
  EXPECT_GE(stroke, MinIoU);
  EXPECT_EQ(std::mismatch(b.classes.begin(), b.classes.end(), e.classes.begin()).first, b.classes.end())
      << "even-odd and nonzero filling differ";
}

INSTANTIATE_TEST_SUITE_P(Modes, CutReadyRender, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// The pixels of one colour in the box of everything drawn.
struct Drawn {
  int width = 0, height = 0;
  std::vector<std::vector<bool>> colour;  // [0] red, [1] blue, row by row
};

Drawn Crop(const QImage& image) {
  const QImage im = image.convertToFormat(QImage::Format_RGB32);
  auto kind = [&](int x, int y) {
    const QRgb c = im.pixel(x, y);
    if (qRed(c) > 160 && qGreen(c) < 120 && qBlue(c) < 120) return 0;
    if (qBlue(c) > 160 && qRed(c) < 120 && qGreen(c) < 120) return 1;
    return qRed(c) + qGreen(c) + qBlue(c) < 3 * 230 ? 2 : -1;  // some other ink, or paper
  };
  int x0 = im.width(), y0 = im.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (kind(x, y) >= 0) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  Drawn d;
  if (x1 < 0) return d;
  d.width = x1 - x0 + 1;
  d.height = y1 - y0 + 1;
  d.colour.assign(2, std::vector<bool>(static_cast<size_t>(d.width) * d.height));
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      const int k = kind(x0 + x, y0 + y);
      if (k == 0 || k == 1) d.colour[k][static_cast<size_t>(y) * d.width + x] = true;
    }
  return d;
}

// The share of one picture's pixels of a colour that have a pixel of that
// colour in the other within `reach` pixels.
double Near(const Drawn& a, const Drawn& b, int k, int reach) {
  size_t all = 0, near = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      if (!a.colour[k][static_cast<size_t>(y) * a.width + x]) continue;
      ++all;
      bool found = false;
      for (int dy = -reach; dy <= reach && !found; ++dy)
        for (int dx = -reach; dx <= reach && !found; ++dx) {
          const int bx = x + dx, by = y + dy;
          found = bx >= 0 && by >= 0 && bx < b.width && by < b.height &&
                  b.colour[k][static_cast<size_t>(by) * b.width + bx];
        }
      near += found;
    }
  return all ? static_cast<double>(near) / static_cast<double>(all) : 0;
}

// LibreOffice Draw opens the DXF and draws each layer's polylines in the
// layer's colour where the cut-ready SVG has its edges: the same shape, the
// right way up, nearly every line near a line of the other picture.
TEST(CutReadyDxf, LibreOfficeDrawsTheShapesOfTheSvg) {
  if (FindProgram("soffice").empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  if (FindProgram("rsvg-convert").empty()) GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
  TempDir dir;
  std::vector<std::string> args = {"-q", "--font", "DejaVu Sans", "-t", "Wavy 夜", "--size=72", "--stroke-width=2"};
  args.insert(args.end(), kColours.begin(), kColours.end());
  std::vector<std::string> dxfArgs = args, svgArgs = args;
  dxfArgs.insert(dxfArgs.end(), {"-o", dir / "cut.dxf"});
  svgArgs.insert(svgArgs.end(), {"--cut-ready", "-o", dir / "cut.svg"});
  ASSERT_EQ(RunGlyphor(dxfArgs).exitCode, 0);
  ASSERT_EQ(RunGlyphor(svgArgs).exitCode, 0);

  // A profile of its own, so that a running LibreOffice is not asked instead.
  const std::string convert = "soffice -env:UserInstallation=file://" + dir.path() +
                              "/profile --headless --convert-to %s --outdir '" + dir.path() + "' '" + dir / "cut.dxf" +
                              "' >/dev/null 2>&1";
  for (const char* format : {"pdf", "png"}) {
    char command[4096];
    std::snprintf(command, sizeof command, convert.c_str(), format);
    ASSERT_EQ(std::system(command), 0) << format;
  }
  EXPECT_GT(ReadFile(dir / "cut.pdf").size(), 1000u);

  // The SVG's regions drawn as their edges. Draw fits a drawing into a box
  // of its own, whatever its units, so the shape is compared at Draw's size.
  std::string edges = ReadFile(dir / "cut.svg");
  const std::regex style("fill:(#[0-9A-F]{6}); stroke:none");
  edges = std::regex_replace(edges, style, "fill:none; stroke:$1; stroke-width:0.3");
  WriteFile(dir / "edges.svg", edges);
  auto drawEdges = [&](double dpi) {
    const std::string command = "rsvg-convert -d " + std::to_string(dpi) + " -p " + std::to_string(dpi) +
                                " -b white -o '" + dir / "edges.png" + "' '" + dir / "edges.svg" + "'";
    return std::system(command.c_str()) == 0 ? Crop(QImage(QString::fromStdString(dir / "edges.png"))) : Drawn{};
  };
  const Drawn office = Crop(QImage(QString::fromStdString(dir / "cut.png")));
  ASSERT_GT(office.width, 100) << "LibreOffice drew nothing";
  const Drawn first = drawEdges(96);
  ASSERT_GT(first.width, 0);
  const Drawn svg = drawEdges(96.0 * office.width / first.width);
  EXPECT_NEAR(office.width, svg.width, 3);
  EXPECT_NEAR(office.height, svg.height, 3);
  for (int k = 0; k < 2; ++k) {
    EXPECT_GE(Near(office, svg, k, 2), 0.95) << (k ? "outline" : "fill");
    EXPECT_GE(Near(svg, office, k, 2), 0.95) << (k ? "outline" : "fill");
  }
}

}  // namespace
