// SPDX-License-Identifier: MIT
#include "core/output/wmf_writer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/output/emf_recorder.h"
#include "core/platform/errors.h"
#include "support/emf_records.h"
#include "support/test_paths.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::MetaRecord;
using test::RecordTypes;
using test::WalkWmf;

constexpr uint16_t META_SETMAPMODE = 0x0103, META_SETPOLYFILLMODE = 0x0106, META_SETWINDOWORG = 0x020B,
                   META_SETWINDOWEXT = 0x020C, META_SELECTOBJECT = 0x012D, META_DELETEOBJECT = 0x01F0,
                   META_CREATEPENINDIRECT = 0x02FA, META_CREATEBRUSHINDIRECT = 0x02FC, META_POLYPOLYGON = 0x0538,
                   META_RECTANGLE = 0x041B, META_EOF = 0;

ConversionSettings Settings() {
  ConversionSettings s;
  s.Font.Size = 72;
  s.Font.Color = 0x0000FF00;
  s.StrokeColor = 0x000000FF;
  s.StrokeWidth = 50;
  s.Resolution = 400;
  return s;
}

// The picture with (138,-265), (710,-265), (710,-1345) and a 3325 x 2690 frame.
MetafilePicture Triangle(const ConversionSettings& s) {
  TPath path = test::TrianglePath();
  MetafilePicture pic;
  RecordPicture(pic, path, 500, 400, s);
  return pic;
}

std::vector<std::pair<int, int>> PolygonPoints(const MetaRecord& r) {
  std::vector<std::pair<int, int>> pts;
  const int polys = r.U16(6);
  int total = 0;
  for (int i = 0; i < polys; ++i) total += r.U16(8 + 2 * i);
  const size_t at = 8 + 2 * polys;
  for (int i = 0; i < total; ++i) pts.push_back({r.I16(at + 4 * i), r.I16(at + 4 * i + 2)});
  return pts;
}

TEST(PlaceableWmf, HeadersAgreeWithTheFrame) {
  const MetafilePicture pic = Triangle(Settings());
  const std::vector<uint8_t> wmf = ConvertToPlaceableWmf(pic);
  // 3325 x 96 / 2540 = 125.7 and 2690 x 96 / 2540 = 101.7; checksum 0x5769.
  const std::vector<uint8_t> placeable = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0,    126,
                                          0,    102,  0,    96,   0, 0, 0, 0, 0, 0x69, 0x57};
  ASSERT_GT(wmf.size(), 40u);
  EXPECT_EQ(std::vector<uint8_t>(wmf.begin(), wmf.begin() + 22), placeable);
  uint16_t xorAll = 0;
  for (size_t i = 0; i < 22; i += 2) xorAll ^= static_cast<uint16_t>(wmf[i] | (wmf[i + 1] << 8));
  EXPECT_EQ(xorAll, 0);

  const auto records = WalkWmf(wmf);
  // META_HEADER: in memory, 9 words, version 3.0, the size without the
  // placeable header, the object count and the largest record.
  const MetaRecord header{0, std::vector<uint8_t>(wmf.begin() + 22, wmf.begin() + 40)};
  EXPECT_EQ(header.U16(0), 1);
  EXPECT_EQ(header.U16(2), 9);
  EXPECT_EQ(header.U16(4), 0x0300);
  EXPECT_EQ(header.U32(6), (wmf.size() - 22) / 2);
  EXPECT_EQ(header.U16(10), 4);  // null pen and brush, the picture's pen and brush
  uint32_t largest = 0;
  for (const auto& r : records) largest = std::max(largest, r.U32(0));
  EXPECT_EQ(header.U32(12), largest);
  EXPECT_EQ(header.U16(16), 0);

  EXPECT_EQ(RecordTypes(records),
            (std::vector<uint32_t>{
                META_SETMAPMODE,        META_SETWINDOWORG,        META_SETWINDOWEXT, META_SETPOLYFILLMODE,
                META_CREATEPENINDIRECT, META_CREATEBRUSHINDIRECT, META_SELECTOBJECT, META_SELECTOBJECT,
                META_RECTANGLE,         META_CREATEPENINDIRECT,   META_SELECTOBJECT, META_CREATEBRUSHINDIRECT,
                META_SELECTOBJECT,      META_POLYPOLYGON,         META_DELETEOBJECT, META_DELETEOBJECT,
                META_DELETEOBJECT,      META_SETWINDOWEXT,        META_SETMAPMODE,   META_EOF}));
  EXPECT_EQ(records[0].U16(6), 8);  // MM_ANISOTROPIC
  EXPECT_EQ(records[1].I16(6), 0);
  EXPECT_EQ(records[1].I16(8), 0);
  // The bounding box in 26 logical units a box unit (2496 to the inch), y
  // extent first, as [MS-WMF] orders it.
  EXPECT_EQ(records[2].I16(6), 102 * 26);
  EXPECT_EQ(records[2].I16(8), 126 * 26);
  EXPECT_EQ(records[3].U16(6), 1);  // ALTERNATE
  // An invisible rectangle over the whole frame (null pen 0, null brush 1),
  // so that readers sizing by the drawn extent see the frame.
  EXPECT_EQ(records[4].U16(6), 5);
  EXPECT_EQ(records[5].U16(6), 1);
  EXPECT_EQ(records[6].U16(6), 0);
  EXPECT_EQ(records[7].U16(6), 1);
  // 0x0A5C = 102 x 26, 0x0CCC = 126 x 26.
  EXPECT_EQ(records[8].Bytes, (std::vector<uint8_t>{7, 0, 0, 0, 0x1B, 0x04, 0x5C, 0x0A, 0xCC, 0x0C, 0, 0, 0, 0}));
  // The miter pen, 50 hundredths of a millimetre = 49.1 units, in red.
  EXPECT_EQ(records[9].U16(6), 0x2200);
  EXPECT_EQ(records[9].I16(8), 49);
  EXPECT_EQ(records[9].U32(12), 0x000000FFu);
  EXPECT_EQ(records[10].U16(6), 2);
  EXPECT_EQ(records[11].U16(6), 0);  // BS_SOLID
  EXPECT_EQ(records[11].U32(8), 0x0000FF00u);
  EXPECT_EQ(records[12].U16(6), 3);
  EXPECT_EQ(records[13].U16(6), 1);
  // 0.98268 units a hundredth of a millimetre; the first point again at the
  // end, so that readers stroking each polygon as an open line close it.
  EXPECT_EQ(PolygonPoints(records[13]),
            (std::vector<std::pair<int, int>>{{136, 260}, {698, 260}, {698, 1322}, {136, 260}}));
  EXPECT_EQ(records[14].U16(6), 2);  // the picture's pen
  // Once everything is drawn: the window in box units, then MM_TEXT.
  EXPECT_EQ(records[17].I16(6), 102);
  EXPECT_EQ(records[17].I16(8), 126);
  EXPECT_EQ(records[18].U16(6), 1);
}

TEST(PlaceableWmf, TwoLayerFillsWithANullPenAndHollowBrushStaysHollow) {
  ConversionSettings s = Settings();
  s.Fukuromoji = true;
  s.TransparentFill = true;
  s.LineJoin = 2;
  const auto records = WalkWmf(ConvertToPlaceableWmf(Triangle(s)));
  ASSERT_EQ(records.size(), 23u);
  EXPECT_EQ(records[9].U16(6), 0x1200);  // bevel join, flat cap
  EXPECT_EQ(records[9].I16(8), 98);      // 100 hundredths = 98.3 units
  EXPECT_EQ(records[11].U16(6), 1);      // BS_NULL
  EXPECT_EQ(records[9].Type, META_CREATEPENINDIRECT);
  // After the stroke-and-fill: the null pen, the same polygons, the pen back.
  const auto types = RecordTypes(records);
  EXPECT_EQ(std::vector<uint32_t>(types.begin() + 13, types.end()),
            (std::vector<uint32_t>{META_POLYPOLYGON, META_SELECTOBJECT, META_POLYPOLYGON, META_SELECTOBJECT,
                                   META_DELETEOBJECT, META_DELETEOBJECT, META_DELETEOBJECT, META_SETWINDOWEXT,
                                   META_SETMAPMODE, META_EOF}));
  EXPECT_EQ(records[14].U16(6), 0);
  EXPECT_EQ(records[16].U16(6), 2);
  EXPECT_EQ(PolygonPoints(records[13]), PolygonPoints(records[15]));
}

TEST(PlaceableWmf, BeziersFlattenWithinATenthOfAMillimetre) {
  // A quarter circle of radius 5 cm, in 0.01 mm with y up.
  const double k = 0.5523 * 5000;
  EmfRecorder rec(5000, 5000);
  rec.SetMapMode(MM_HIMETRIC);
  rec.SetWindowOrg({0, 0});
  rec.BeginPath();
  rec.MoveTo({0, -5000});
  const TPoint c[3] = {{static_cast<int32_t>(k), -5000}, {5000, -static_cast<int32_t>(k)}, {5000, 0}};
  rec.PolyBezierTo(c, 3);
  rec.CloseFigure();
  rec.EndPath();
  rec.StrokeAndFillPath();
  MetafilePicture pic{rec.Close(), 5000, 5000};
  const auto records = WalkWmf(ConvertToPlaceableWmf(pic));
  const auto it =
      std::find_if(records.begin(), records.end(), [](const MetaRecord& r) { return r.Type == META_POLYPOLYGON; });
  ASSERT_NE(it, records.end());
  const auto pts = PolygonPoints(*it);
  ASSERT_GT(pts.size(), 10u);
  // Every chord's midpoint lies within 0.1 mm of the circle (radius 4913
  // units around the origin), give or take the rounding to whole units; the
  // last point closes the polygon.
  const double unit = 25.4 / (96 * 26), r = 50 / unit;
  for (size_t i = 1; i + 1 < pts.size(); ++i) {
    const double mx = (pts[i - 1].first + pts[i].first) / 2.0, my = (pts[i - 1].second + pts[i].second) / 2.0;
    EXPECT_LT(std::abs(std::hypot(mx, my) - r) * unit, 0.1 + 0.75 * unit) << i;
  }
  EXPECT_EQ(pts.front(), (std::pair<int, int>{0, 4913}));
  EXPECT_EQ(pts[pts.size() - 2], (std::pair<int, int>{4913, 0}));
  EXPECT_EQ(pts.back(), pts.front());
}

TEST(PlaceableWmf, RoundingAndLimits) {
  EXPECT_EQ(HundredthsMmToWmfUnits(0), 0);
  EXPECT_EQ(HundredthsMmToWmfUnits(3325), 126);
  EXPECT_EQ(HundredthsMmToWmfUnits(-3325), -126);
  EXPECT_EQ(HundredthsMmToWmfUnits(13), 0);  // 0.49
  EXPECT_EQ(HundredthsMmToWmfUnits(14), 1);  // 0.53
  EXPECT_EQ(HundredthsMmToWmfUnits(2540), 96);
  // A 2 m frame (7559 box units) leaves room for 4 logical units a box unit.
  MetafilePicture wide = Triangle(Settings());
  wide.FrameWidth = 200000;
  const auto records = WalkWmf(ConvertToPlaceableWmf(wide));
  ASSERT_EQ(records[2].Type, META_SETWINDOWEXT);
  EXPECT_EQ(records[2].I16(6), 102 * 4);
  EXPECT_EQ(records[2].I16(8), 7559 * 4);
  EXPECT_EQ(PolygonPoints(records[13]), (std::vector<std::pair<int, int>>{{21, 40}, {107, 40}, {107, 203}, {21, 40}}));
  // A point on the right edge of a frame whose box was rounded down still
  // fits in 16 bits: 33350 hundredths are 1260.3 box units, 32772 logical
  // units at 26 to a box unit, 31512 at 25.
  EmfRecorder rec(33350, 1000);
  rec.SetMapMode(MM_HIMETRIC);
  rec.SetWindowOrg({0, 0});
  rec.BeginPath();
  rec.MoveTo({0, 0});
  rec.LineTo({33350, -1000});
  rec.LineTo({0, -1000});
  rec.CloseFigure();
  rec.EndPath();
  rec.FillPath();
  const MetafilePicture edge{rec.Close(), 33350, 1000};
  const auto edgeRecords = WalkWmf(ConvertToPlaceableWmf(edge));
  const auto poly = std::find_if(edgeRecords.begin(), edgeRecords.end(),
                                 [](const MetaRecord& r) { return r.Type == META_POLYPOLYGON; });
  ASSERT_NE(poly, edgeRecords.end());
  EXPECT_EQ(PolygonPoints(*poly)[1], (std::pair<int, int>{31512, 945}));
  // Beyond the 16-bit bounding box of the placeable header.
  MetafilePicture big = Triangle(Settings());
  big.FrameWidth = 900000;
  EXPECT_THROW(ConvertToPlaceableWmf(big), EOutOfResources);
  // A cut-off picture yields no file.
  MetafilePicture cut = Triangle(Settings());
  cut.Bytes.resize(cut.Bytes.size() - 20);
  EXPECT_THROW(ConvertToPlaceableWmf(cut), EOutOfResources);
}

}  // namespace
}  // namespace glyphor
