// SPDX-License-Identifier: MIT
#include "gui/preview/preview_player.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "gui/preview/preview_emf_builder.h"

namespace glyphor {
namespace {

using test::EmfBuilder;
using namespace test;

const QRgb kWhitePx = qRgb(255, 255, 255), kRedPx = qRgb(255, 0, 0), kBluePx = qRgb(0, 0, 255);

// Plays a 100 mm square picture onto 100 x 100 pixels (one pixel 100 units),
// aliased so that pixels are exact.
QImage Play(const std::vector<uint8_t>& emf, PlayResult* result = nullptr) {
  QImage image(100, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  PlayResult r = PlayMetafile(emf, painter, image.rect());
  if (result) *result = r;
  return image;
}

EmfBuilder Square(uint32_t penStyle, uint32_t penWidth, uint32_t brushStyle) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Pen(1, penStyle, penWidth, kBlue).Select(1).Miter(4);
  b.Brush(2, brushStyle, kRed).Select(2);
  b.Begin().Rect(2000, -2000, 8000, -8000).End().StrokeAndFill();
  return b;
}

int CountInRow(const QImage& image, int y, int x0, int x1, QRgb colour) {
  int n = 0;
  for (int x = x0; x < x1; ++x) n += image.pixel(x, y) == colour;
  return n;
}

bool AllWhite(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != kWhitePx) return false;
  return true;
}

TEST(PreviewPlayer, FillsThenStrokesWithThePenWidthScaled) {
  PlayResult r;
  QImage image = Play(Square(kMiterPen, 400, 0).Bytes(), &r);
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(image.pixel(50, 50), kRedPx);
  EXPECT_EQ(image.pixel(5, 5), kWhitePx);
  // 400 units are 4 pixels, centred on the edge at x = 20; the stroke lies
  // over the fill's inner half.
  EXPECT_EQ(CountInRow(image, 50, 0, 50, kBluePx), 4);
  EXPECT_EQ(image.pixel(18, 50), kBluePx);
  EXPECT_EQ(image.pixel(21, 50), kBluePx);
  EXPECT_EQ(image.pixel(17, 50), kWhitePx);
  EXPECT_EQ(image.pixel(22, 50), kRedPx);
}

TEST(PreviewPlayer, HollowBrushAndNullPen) {
  QImage hollow = Play(Square(kMiterPen, 400, 1).Bytes());
  EXPECT_EQ(hollow.pixel(50, 50), kWhitePx);
  EXPECT_EQ(hollow.pixel(20, 50), kBluePx);

  EmfBuilder b(10000, 10000);
  b.HiMetric().Select(kNullPen).Select(kBlackBrush).Begin().Rect(2000, -2000, 8000, -8000).End();
  b.StrokeAndFill();
  QImage black = Play(b.Bytes());
  EXPECT_EQ(black.pixel(50, 50), qRgb(0, 0, 0));
  EXPECT_EQ(black.pixel(19, 50), kWhitePx);
  EXPECT_EQ(black.pixel(20, 50), qRgb(0, 0, 0));
}

TEST(PreviewPlayer, GeometricPenOfWidthZeroDrawsOnePixel) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Pen(1, kMiterPen, 0, kBlue).Select(1).Select(kNullBrush);
  b.Begin().Rect(2050, -2050, 8050, -8050).End().StrokeAndFill();
  QImage image = Play(b.Bytes());
  EXPECT_EQ(CountInRow(image, 50, 0, 50, kBluePx), 1);
  EXPECT_EQ(image.pixel(20, 50), kBluePx);
}

TEST(PreviewPlayer, YRunsUpAndTheWindowOriginShifts) {
  EmfBuilder plain(10000, 10000);
  plain.HiMetric().Select(kNullPen).Brush(1, 0, kRed).Select(1);
  plain.Begin().Rect(1000, -1000, 2000, -2000).End().Fill();
  QImage image = Play(plain.Bytes());
  EXPECT_EQ(image.pixel(15, 15), kRedPx);
  EXPECT_EQ(image.pixel(15, 85), kWhitePx);
  EXPECT_EQ(image.pixel(5, 5), kWhitePx);

  EmfBuilder shifted(10000, 10000);
  shifted.Rec(EMR_SETMAPMODE, {3}).Rec(EMR_SETWINDOWORGEX, {1000, uint32_t(-1000)});
  shifted.Select(kNullPen).Brush(1, 0, kRed).Select(1);
  shifted.Begin().Rect(1000, -1000, 2000, -2000).End().Fill();
  image = Play(shifted.Bytes());
  EXPECT_EQ(image.pixel(5, 5), kRedPx);
  EXPECT_EQ(image.pixel(15, 15), kWhitePx);
}

TEST(PreviewPlayer, EvenOddFillLeavesANestedFigureHollow) {
  auto nested = [](bool winding) {
    EmfBuilder b(10000, 10000);
    b.HiMetric().Select(kNullPen).Brush(1, 0, kRed).Select(1);
    if (winding) b.Rec(EMR_SETPOLYFILLMODE, {2});
    b.Begin().Rect(1000, -1000, 9000, -9000).Rect(3000, -3000, 7000, -7000).End().Fill();
    return Play(b.Bytes());
  };
  QImage alternate = nested(false);
  EXPECT_EQ(alternate.pixel(50, 50), kWhitePx);
  EXPECT_EQ(alternate.pixel(20, 50), kRedPx);
  EXPECT_EQ(nested(true).pixel(50, 50), kRedPx);
}

TEST(PreviewPlayer, BezierRunsIn32And16BitFormsAgree) {
  auto curve = [](bool sixteen) {
    EmfBuilder b(10000, 10000);
    b.HiMetric().Pen(1, kRoundPen, 200, kBlue).Select(1).Brush(2, 0, kRed).Select(2);
    b.Begin().Move(1000, -5000);
    if (sixteen)
      b.Rec(EMR_POLYBEZIERTO16, {0, 0, 0, 0, 3, 1000 | uint32_t(uint16_t(-1000)) << 16,
                                 9000 | uint32_t(uint16_t(-1000)) << 16, 9000 | uint32_t(uint16_t(-5000)) << 16});
    else
      b.Rec(EMR_POLYBEZIERTO, {0, 0, 0, 0, 3, 1000, uint32_t(-1000), 9000, uint32_t(-1000), 9000, uint32_t(-5000)});
    b.Close().End().StrokeAndFill();
    return Play(b.Bytes());
  };
  QImage wide = curve(false);
  EXPECT_EQ(wide, curve(true));
  EXPECT_EQ(wide.pixel(50, 30), kRedPx);  // inside the bulge
  EXPECT_EQ(wide.pixel(50, 60), kWhitePx);
}

// A right-angled corner at pixel (50, 20), stroked 10 pixels wide: the miter
// reaches the square's corner, the round join the circle, the bevel neither.
QImage Corner(uint32_t style, float miterLimit) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Pen(1, style, 1000, kBlue).Select(1).Miter(miterLimit).Select(kNullBrush);
  b.Begin().Move(1000, -2000).Line(5000, -2000).Line(5000, -6000).End().StrokeAndFill();
  return Play(b.Bytes());
}

TEST(PreviewPlayer, JoinsAndTheMiterLimitShapeTheCorner) {
  QImage miter = Corner(kMiterPen, 4), round = Corner(kRoundPen, 4), bevel = Corner(kBevelPen, 4);
  EXPECT_EQ(miter.pixel(54, 16), kBluePx);
  EXPECT_EQ(round.pixel(54, 16), kWhitePx);
  EXPECT_EQ(round.pixel(53, 17), kBluePx);
  EXPECT_EQ(bevel.pixel(53, 17), kWhitePx);
  EXPECT_EQ(bevel.pixel(51, 19), kBluePx);
  // The limit is read as a float: 1.0 is below the square corner's 1.41,
  // so the miter falls back to a bevel.
  EXPECT_EQ(Corner(kMiterPen, 1), bevel);
  // Flat caps: nothing beyond the open ends.
  EXPECT_EQ(miter.pixel(8, 20), kWhitePx);
  EXPECT_EQ(miter.pixel(11, 20), kBluePx);
}

TEST(PreviewPlayer, ObjectsStayUsableAfterDeletionAndUnknownRecordsAreSkipped) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Pen(1, kMiterPen, 400, kBlue).Select(1).Delete(1).Brush(2, 0, kRed).Select(2);
  b.Rec(EMR_SETBKMODE, {1}).Rec(0x7777, {1, 2, 3});
  b.Begin().Rect(2000, -2000, 8000, -8000).End().StrokeAndFill();
  PlayResult r;
  QImage image = Play(b.Bytes(), &r);
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(image, Play(Square(kMiterPen, 400, 0).Bytes()));
}

TEST(PreviewPlayer, ThePathIsUsedUpByEachFill) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Select(kNullPen).Brush(1, 0, kRed).Select(1);
  b.Begin().Rect(1000, -1000, 3000, -3000).End().Fill();
  b.Brush(2, 0, kBlue).Select(2).Fill().StrokeAndFill();
  QImage image = Play(b.Bytes());
  EXPECT_EQ(image.pixel(20, 20), kRedPx);
}

TEST(PreviewPlayer, LinesOutsideAPathAreStroked) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Select(kBlackPen).Move(1000, -5050).Line(9000, -5050);
  QImage image = Play(b.Bytes());
  EXPECT_EQ(image.pixel(50, 50), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(50, 52), kWhitePx);
}

// A line of figures 3000 pixels wide: one across the whole width, nested
// rings, a curve, a corner whose miter reaches 9 pixels to its right, and a
// row of narrow triangles whose miters reach 28 pixels beyond their tips, so
// that wherever the player puts its column edges, miters cross them. Then a
// second layer, filled only, over part of the first.
std::vector<uint8_t> WideLine() {
  EmfBuilder b(300000, 10000);
  b.HiMetric().Pen(1, kMiterPen, 800, kBlue).Select(1).Miter(10).Brush(2, 0, kRed).Select(2);
  b.Begin().Rect(137, -4537, 299863, -5463);
  for (int x = 1037; x < 290000; x += 7013)
    if (x < 45000 || x > 56000) b.Rect(x, -1037, x + 5037, -8963).Rect(x + 1537, -2537, x + 3537, -7437);
  b.Move(40037, -9037)
      .Rec(EMR_POLYBEZIERTO, {0, 0, 0, 0, 3, 60037, uint32_t(-137), 80037, uint32_t(-137), 100037, uint32_t(-9037)});
  b.Move(50937, -3037).Line(48937, -2037).Line(48937, -4037).Close();
  for (int x = 3037; x < 296000; x += 4111) b.Move(x + 700, -9637).Line(x, -9537).Line(x, -9737).Close();
  b.End().StrokeAndFill();
  b.Brush(3, 0, 0x00FF00).Select(3).Begin();
  for (int x = 20037; x < 290000; x += 30011) b.Rect(x, -4037, x + 9037, -5537);
  b.End().Fill();
  return b.Bytes();
}

// The same picture drawn at once: a translated painter draws without columns.
QImage WideImage(bool inColumns, bool antialiased) {
  QImage image(3000, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, antialiased);
  QRect target(0, 0, 3000, 100);
  if (!inColumns) {
    painter.translate(1, 0);
    target.translate(-1, 0);
  }
  EXPECT_TRUE(PlayMetafile(WideLine(), painter, target).Ok);
  return image;
}

int LargestDifference(const QImage& a, const QImage& b) {
  int most = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      most =
          std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  return most;
}

TEST(PreviewPlayer, WideDrawingsInColumnsMatchTheDrawingAtOnce) {
  QImage columns = WideImage(true, false);
  EXPECT_EQ(columns, WideImage(false, false));
  EXPECT_LE(LargestDifference(WideImage(true, true), WideImage(false, true)), 2);
  // The miter tip of the corner at x = 509 reaches 9 pixels beyond it.
  EXPECT_EQ(columns.pixel(515, 30), kBluePx);
  EXPECT_EQ(columns.pixel(520, 30), kWhitePx);
  EXPECT_EQ(columns.pixel(1070, 30), kRedPx);
  EXPECT_EQ(columns.pixel(1085, 30), kWhitePx);        // the hole of a ring
  EXPECT_EQ(columns.pixel(250, 45), qRgb(0, 255, 0));  // the second layer over the bar
}

TEST(PreviewPlayer, AnImageSharedBetweenThreadsGetsTheSamePixels) {
  const QImage once = WideImage(false, false);
  QImage shared(3000, 100, QImage::Format_RGB32);
  shared.fill(Qt::white);
  ASSERT_TRUE(PlayMetafileOnImage(WideLine(), shared, 2).Ok);
  EXPECT_EQ(shared, once);
  // Too narrow to share, and refused without a pixel drawn.
  QImage narrow(100, 100, QImage::Format_RGB32);
  narrow.fill(Qt::white);
  ASSERT_TRUE(PlayMetafileOnImage(Square(kMiterPen, 400, 0).Bytes(), narrow, 2).Ok);
  EXPECT_EQ(narrow, Play(Square(kMiterPen, 400, 0).Bytes()));
  std::vector<uint8_t> bad = WideLine();
  bad.resize(bad.size() - 20);  // no end-of-file record
  shared.fill(Qt::white);
  EXPECT_FALSE(PlayMetafileOnImage(bad, shared, 2).Ok);
  EXPECT_TRUE(AllWhite(shared));
}

// Overwrites the 32-bit word at byte `at`.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, uint32_t word) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(word >> (8 * i));
  return bytes;
}

TEST(PreviewPlayer, MalformedMetafilesAreRefusedBeforeAnythingIsDrawn) {
  const std::vector<uint8_t> good = Square(kMiterPen, 400, 0).Bytes();
  // Byte 88 is the first record after the header (EMR_SETMAPMODE, 12 bytes).
  std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"size 0", Patched(good, 92, 0)},
      {"size not a multiple of 4", Patched(good, 92, 14)},
      {"size beyond the buffer", Patched(good, 92, 0x7FFFFFF0)},
      {"header size beyond the buffer", Patched(good, 48, uint32_t(good.size() + 4))},
      {"bad signature", Patched(good, 40, 0x12345678)},
      {"empty frame", Patched(good, 32, 0)},
      {"anisotropic mapping", Patched(good, 96, 8)},
  };
  auto add = [&](const char* name, EmfBuilder b) { cases.emplace_back(name, b.Bytes()); };
  auto drawn = [] {  // a fill of the whole frame before the fault
    EmfBuilder b(10000, 10000);
    b.HiMetric().Brush(1, 0, kRed).Select(1).Begin().Rect(0, 0, 10000, -10000).End().Fill();
    return b;
  };
  add("huge point count", drawn().Begin().Rec(EMR_POLYBEZIERTO, {0, 0, 0, 0, 0x40000000, 1, 2, 3}));
  add("huge 16-bit point count", drawn().Begin().Rec(EMR_POLYBEZIERTO16, {0, 0, 0, 0, 0xFFFFFFFF}));
  add("points not in threes", drawn().Begin().Rec(EMR_POLYBEZIERTO, {0, 0, 0, 0, 2, 1, 2, 3, 4}));
  add("handle beyond the table", drawn().Select(100));
  add("handle never created", drawn().Select(3));
  add("object at handle 0", drawn().Brush(0, 0, kRed));
  add("deleted twice", drawn().Delete(1).Delete(1));
  add("unknown stock object", drawn().Select(0x80000100));
  add("style entries beyond the record", drawn().Rec(EMR_EXTCREATEPEN, {2, 0, 0, 0, 0, kMiterPen, 1, 0, 0, 0, 1000}));
  add("short record", drawn().Rec(EMR_LINETO, {5}));
  add("second header", drawn().Rec(EMR_HEADER, {}));
  for (size_t n = 1; n < good.size(); n += 3)
    cases.emplace_back("truncated", std::vector<uint8_t>(good.begin(), good.begin() + n));
  std::vector<uint8_t> noEof(good.begin(), good.end() - 20);
  cases.emplace_back("no end-of-file record", Patched(noEof, 48, uint32_t(noEof.size())));

  for (const auto& [name, bytes] : cases) {
    PlayResult r;
    QImage image = Play(bytes, &r);
    EXPECT_FALSE(r.Ok) << name;
    EXPECT_FALSE(r.Error.empty()) << name;
    EXPECT_TRUE(AllWhite(image)) << name;
  }
  PlayResult r;
  Play(drawn().Bytes(), &r);
  EXPECT_TRUE(r.Ok) << r.Error;
}

TEST(PreviewPlayer, MutatedMetafilesAreRefusedOrPlayedWithoutCrashing) {
  EmfBuilder b(10000, 10000);
  b.HiMetric().Pen(1, kMiterPen, 400, kBlue).Select(1).Miter(4).Brush(2, 0, kRed).Select(2);
  b.Begin()
      .Move(1000, -5000)
      .Rec(EMR_POLYBEZIERTO, {0, 0, 0, 0, 3, 1000, uint32_t(-1000), 9000, uint32_t(-1000), 9000, uint32_t(-5000)});
  b.Rec(EMR_POLYBEZIERTO16, {0, 0, 0, 0, 3, 1, 2, 3}).Close().End().StrokeAndFill();
  const std::vector<uint8_t> good = b.Bytes();
  const uint32_t values[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x80000008, 0x41200000};
  std::mt19937 random(12345);
  int played = 0, refused = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> bytes = good;
    for (int k = 1 + random() % 3; k > 0; --k) {
      size_t at = random() % (bytes.size() / 4) * 4;
      bytes = Patched(bytes, at, random() % 2 ? values[random() % 8] : uint32_t(random()));
    }
    PlayResult r;
    Play(bytes, &r);
    (r.Ok ? played : refused)++;
  }
  EXPECT_GT(played, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace glyphor
