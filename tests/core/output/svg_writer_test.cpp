// SPDX-License-Identifier: MIT
#include "core/output/svg_writer.h"

#include <clocale>
#include <cmath>

#include <gtest/gtest.h>

#include "core/platform/atomic_file.h"
#include "support/scoped_seam.h"
#include "support/test_paths.h"
#include "support/test_support.h"

using namespace glyphor;
using namespace glyphor::test;

namespace {

ConversionSettings Defaults72() {
  ConversionSettings s;  // red fill, black stroke, 0.5 mm, miter, limit 4
  s.Font.Size = 72;
  return s;
}

TPath Square() { return test::SquarePath(); }

class NoMessages : public TUserMessages {
 public:
  void ShowMessage(const std::string& text) override { shown += text; }
  std::string shown;
};

}  // namespace

TEST(SvgNumbers, FourDecimalsHalvesAwayFromZero) {
  EXPECT_EQ(FormatNumber(3), "3.0000");
  EXPECT_EQ(FormatNumber(0.5), "0.5000");
  EXPECT_EQ(FormatNumber(12.34567), "12.3457");
  EXPECT_EQ(FormatNumber(-0.00004), "0.0000");
  EXPECT_EQ(FormatNumber(-0.00005), "-0.0001");
  EXPECT_EQ(FormatNumber(0.00005), "0.0001");
  EXPECT_EQ(FormatNumber(26.15), "26.1500");   // 26.149999999999998... in binary
  EXPECT_EQ(FormatNumber(1.00005), "1.0001");  // 18 digits first: 1.00005000000000000
  EXPECT_EQ(FormatNumber(9999.99996), "10000.0000");
  EXPECT_EQ(FormatNumber(9999.99995), "9999.9999");  // 9999.99994999999955 in binary
  EXPECT_EQ(FormatNumber(0), "0.0000");
  EXPECT_EQ(FormatNumber(-12.5), "-12.5000");
  EXPECT_EQ(FormatNumber(1e20), "100000000000000000000.0000");
}

TEST(SvgNumbers, FastPathAgreesWithTheDecimalRule) {
  // Coordinates as the writer makes them, and values next to a half.
  uint64_t seed = 12345;
  auto next = [&] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
  for (int i = 0; i < 200000; ++i) {
    const double v = static_cast<int32_t>(next() >> 40) * 25.4 * (static_cast<int>(next() % 500) + 1) / 72.0 /
                         (400 + static_cast<int>(next() % 801)) +
                     static_cast<int>(next() % 1001) / 100.0 * 1.5;
    ASSERT_EQ(FormatNumber(v), FormatNumberExactly(v)) << v;
    const double half = (static_cast<int64_t>(next() >> 34) + 0.5) / 10000.0;
    ASSERT_EQ(FormatNumber(half), FormatNumberExactly(half)) << half;
    ASSERT_EQ(FormatNumber(-half), FormatNumberExactly(-half)) << half;
    const double near = std::nextafter(half, i % 2 ? 1e300 : -1e300);
    ASSERT_EQ(FormatNumber(near), FormatNumberExactly(near)) << near;
  }
}

TEST(SvgNumbers, WriterCoordinatesAgreeWithTheDecimalRule) {
  // Formed exactly as the writer forms them, at every resolution, for small
  // and common font sizes and several stroke widths (one doubled, as in the
  // two-layer mode): pixels across two ems in a stride, then far out as long
  // lines reach, on both sides of the origin.
  const int sizes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 18, 24, 36, 48, 72, 144, 1000};
  const double strokes[] = {0, 1 / 100.0, 50 / 100.0 * 2, 333 / 100.0};
  int failures = 0;
  auto agrees = [&](double x, int resolution, double q, double r) {
    const double v = x * 25.4 * q / resolution + r * 1.5;
    if (FormatNumber(v) == FormatNumberExactly(v)) return true;
    ADD_FAILURE() << "pixel " << x << " at " << resolution << " dpi, q " << q << ", r " << r << ": " << FormatNumber(v)
                  << " against " << FormatNumberExactly(v);
    return ++failures < 10;
  };
  for (int resolution = 400; resolution <= 1200; ++resolution)
    for (int size : sizes)
      for (double r : strokes) {
        const double q = size / 72.0;
        for (int x = -resolution / 4 + (resolution + size) % 29; x <= 2 * resolution; x += 29)
          if (!agrees(x, resolution, q, r)) return;
        for (double x = 3.0 * resolution; x < 2.2e9; x = x * 5 + 1)
          if (!agrees(x, resolution, q, r) || !agrees(-x, resolution, q, r)) return;
      }
}

TEST(SvgNumbers, PointWhateverTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(FormatNumber(0.5), "0.5000");
  EXPECT_EQ(FormatNumber(-1234.56789), "-1234.5679");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(SvgColors, RedIsTheLowByte) {
  EXPECT_EQ(ColorToHtml(0x0000FF), "#FF0000");
  EXPECT_EQ(ColorToHtml(0xFF0000), "#0000FF");
  EXPECT_EQ(ColorToHtml(0x000080FF), "#FF8000");
  EXPECT_EQ(ColorToHtml(0x8000000F), "#0F0000");  // a system colour is not resolved
}

TEST(SvgDocument, TheWorkedExampleToTheByte) {
  const std::string doc = SvgDocument(Square(), 500, 400, Defaults72());
  EXPECT_EQ(doc,
            "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"33.2500mm\" height=\"26.9000mm\" "
            "viewBox=\"0 0 33.2500 26.9000\">\r\n"
            "<path style=\"fill:#FF0000; stroke:#000000; stroke-width:0.5000; stroke-linejoin:miter; "
            "stroke-miterlimit:4\" d=\"M0.7500 0.7500 L26.1500 0.7500 L26.1500 26.1500 L0.7500 26.1500 z\"/>\r\n"
            "</svg>\r\n");
}

TEST(SvgDocument, TwoLayerTransparentAndJoins) {
  ConversionSettings s = Defaults72();
  s.Fukuromoji = true;
  s.LineJoin = 1;
  std::string doc = SvgDocument(Square(), 500, 400, s);
  EXPECT_NE(doc.find("stroke-width:1.0000; stroke-linejoin:round; stroke-miterlimit:4\" d=\"M1.5000 1.5000 "),
            std::string::npos);
  EXPECT_NE(
      doc.find("<path style=\"fill:#FF0000; stroke:none; stroke-width:0.0000; stroke-linejoin:round; "
               "stroke-miterlimit:4\" d=\"M1.5000 1.5000 L26.9000 1.5000 L26.9000 26.9000 L1.5000 26.9000 z\"/>\r\n"
               "</svg>\r\n"),
      std::string::npos);
  EXPECT_NE(doc.find("width=\"34.7500mm\" height=\"28.4000mm\""), std::string::npos);

  s.Fukuromoji = false;
  s.TransparentFill = true;
  s.Font.Color = 0xFF0000;
  s.StrokeWidth = 0;
  s.LineJoin = 2;
  doc = SvgDocument(Square(), 500, 400, s);
  EXPECT_NE(doc.find("fill:none; stroke:#000000; stroke-width:0.0000; stroke-linejoin:bevel"), std::string::npos);
  EXPECT_NE(doc.find("d=\"M0.0000 0.0000 L25.4000 0.0000"), std::string::npos);
  s.TransparentFill = false;
  s.LineJoin = -1;  // no item selected: drawn round, as the metafile draws it
  doc = SvgDocument(Square(), 500, 400, s);
  EXPECT_NE(doc.find("fill:#0000FF; stroke:#000000; stroke-width:0.0000; stroke-linejoin:round"), std::string::npos);
}

TEST(SvgDocument, FiguresEndTheirLinesAndBezierRunsShareNoC) {
  TPath p;
  p.Append({0, 0}, PT_MOVETO);
  p.Append({400, 0}, PT_LINETO);
  for (int i = 1; i <= 6; ++i) p.Append({400, 400 * i}, PT_BEZIERTO | (i == 6 ? PT_CLOSEFIGURE : 0));
  p.Append({0, 0}, PT_MOVETO);
  p.Append({0, 400}, PT_LINETO | PT_CLOSEFIGURE);
  const std::string doc = SvgDocument(p, 0, 0, Defaults72());
  EXPECT_NE(doc.find("d=\"M0.7500 0.7500 L26.1500 0.7500 C26.1500 26.1500 26.1500 51.5500 26.1500 76.9500 "
                     "C26.1500 102.3500 26.1500 127.7500 26.1500 153.1500 z\r\n"
                     "M0.7500 0.7500 L0.7500 26.1500 z\"/>\r\n"),
            std::string::npos)
      << doc;
}

TEST(SvgDocument, ANegativeFontSizeScalesAsItsMagnitude) {
  ConversionSettings s = Defaults72();
  s.Font.Size = -72;
  EXPECT_EQ(SvgDocument(Square(), 500, 400, s), SvgDocument(Square(), 500, 400, Defaults72()));
}

TEST(SvgDocument, EmptyPathGivesAnEmptyDataAttribute) {
  const std::string doc = SvgDocument(TPath(), 0, 465, Defaults72());
  EXPECT_NE(doc.find("width=\"1.5000mm\" height=\"31.0275mm\""), std::string::npos);
  EXPECT_NE(doc.find("stroke-miterlimit:4\" d=\"\"/>\r\n</svg>\r\n"), std::string::npos);
}

TEST(SvgDocument, PiecesForASinkJoinToTheSameDocument) {
  // Long enough for many pieces; figures of all kinds, and corners so far out
  // that their numbers take the exact rule's way.
  TPath p;
  for (int i = 0; i < 9000; ++i) {
    const int x = i * 379 % 200000 - 3000, y = i * 97 % 9000;
    p.Append({x, y}, PT_MOVETO);
    p.Append({x + 400, y}, PT_LINETO);
    for (int k = 1; k <= 3; ++k)
      p.Append({x + 400 - 100 * k, y + 133 * k}, PT_BEZIERTO | (k == 3 ? PT_CLOSEFIGURE : 0));
  }
  p.Append({INT32_MAX, INT32_MIN}, PT_MOVETO);
  p.Append({INT32_MIN, 7}, PT_LINETO | PT_CLOSEFIGURE);
  struct Pieces : SvgSink {
    void Write(std::string_view piece) override { pieces.emplace_back(piece); }
    std::vector<std::string> pieces;
  };
  ConversionSettings s = Defaults72();
  s.Font.Size = 1000;
  for (bool twoLayers : {false, true}) {
    s.Fukuromoji = twoLayers;
    Pieces sink;
    WriteSvgDocument(p, 200000, 9000, s, sink);
    const std::string doc = SvgDocument(p, 200000, 9000, s);
    std::string joined;
    for (const std::string& piece : sink.pieces) {
      EXPECT_LE(piece.size(), 128u * 1024);
      joined += piece;
    }
    EXPECT_GT(sink.pieces.size(), twoLayers ? 20u : 10u);
    EXPECT_EQ(joined, doc);

    const double q = 1000 / 72.0, r = 0.5 * (twoLayers ? 2 : 1);
    const std::string far = "M" + FormatNumberExactly(INT32_MAX * 25.4 * q / 400 + r * 1.5) + " " +
                            FormatNumber(INT32_MIN * 25.4 * q / 400 + r * 1.5) + " L";
    const size_t data = doc.find(" d=\"") + 4;
    EXPECT_NE(doc.find(far), std::string::npos);
    if (twoLayers) {
      const size_t second = doc.find(" d=\"", data) + 4;
      ASSERT_NE(second, std::string::npos + 4);
      EXPECT_EQ(doc.substr(second, doc.find('"', second) - second), doc.substr(data, doc.find('"', data) - data));
    }
  }
}

TEST(WriteSvg, WritesTheCapturedTextAndReportsUncreatableFiles) {
  TempDir dir;
  ConversionSettings s = Defaults72();
  s.Font.Name = "DejaVu Sans";
  s.Font.Charset = 0;
  s.Text = "A";
  s.ViewAfterSave = false;
  NoMessages messages;
  WriteSvg(dir / "a.svg", s, 96, messages);
  const std::string doc = ReadFile(dir / "a.svg");
  // DejaVu Sans "A": width 274, height 465 pixels at q = 1, 400 dpi.
  EXPECT_NE(doc.find("width=\"18.8990mm\" height=\"31.0275mm\""), std::string::npos);
  EXPECT_NE(doc.find("d=\"M9.4495 8.2430 L6.0205 17.4505"), std::string::npos);
  EXPECT_TRUE(messages.shown.empty());

  const std::string missing = dir / "no/such/folder/a.svg";
  try {
    WriteSvg(missing, s, 96, messages);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + missing + " を作成できません");
  }
}

TEST(WriteSvg, AFailedWriteKeepsThePreviousFile) {
  TempDir dir;
  WriteFile(dir / "a.svg", "previous");
  ConversionSettings s = Defaults72();
  s.Font.Name = "DejaVu Sans";
  s.ViewAfterSave = false;
  {
    // A disk that fills up after a few bytes.
    test::ScopedSeam<FileSystemCalls> seam(FileSystemSeam());
    seam->write = [](int fd, const void* buf, size_t n) -> ssize_t {
      return ::write(fd, buf, n > 16 ? 16 : n) == 16 ? (errno = ENOSPC, -1) : 0;
    };
    NoMessages messages;
    EXPECT_THROW(WriteSvg(dir / "a.svg", s, 96, messages), EFileError);
  }
  EXPECT_EQ(ReadFile(dir / "a.svg"), "previous");
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"a.svg"});
}
