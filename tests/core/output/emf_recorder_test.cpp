// SPDX-License-Identifier: MIT
#include "core/output/emf_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/output/metafile_picture.h"
#include "core/platform/errors.h"
#include "core/platform/system_colors.h"
#include "support/emf_records.h"
#include "support/test_paths.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::MetaRecord;
using test::RecordTypes;
using test::WalkEmf;
using test::Words;

ConversionSettings Settings() {
  ConversionSettings s;
  s.Font.Size = 72;
  s.Font.Color = 0x0000FF00;
  s.Resolution = 400;
  s.StrokeWidth = 50;
  s.StrokeColor = 0x000000FF;
  s.LineJoin = 0;
  s.MiterLimit = 4;
  return s;
}

// M(10,30) L(100,30) L(100,200) z in path units.
TPath Triangle() { return test::TrianglePath(); }

MetafilePicture Record(TPath path, const ConversionSettings& s, int32_t width = 500, int32_t height = 400) {
  MetafilePicture pic;
  RecordPicture(pic, path, width, height, s);
  return pic;
}

std::vector<MetaRecord> OfType(const std::vector<MetaRecord>& records, uint32_t type) {
  std::vector<MetaRecord> out;
  std::copy_if(records.begin(), records.end(), std::back_inserter(out),
               [type](const MetaRecord& r) { return r.Type == type; });
  return out;
}

// The header agrees with the records: byte and record counts, handle table
// size, bounds as the union of the drawing records' bounds; EMR_EOF as
// [MS-EMF] has it.
void ExpectConsistentHeader(const std::vector<uint8_t>& bytes) {
  const auto records = WalkEmf(bytes);
  ASSERT_GE(records.size(), 2u);
  const MetaRecord& h = records.front();
  ASSERT_EQ(h.Type, EMR_HEADER);
  EXPECT_EQ(h.Bytes.size(), 108u);
  EXPECT_EQ(h.U32(40), 0x464D4520u);
  EXPECT_EQ(h.U32(48), bytes.size());
  EXPECT_EQ(h.U32(52), records.size());
  uint32_t maxHandle = 0;
  for (const auto& r : records)
    if (r.Type == EMR_EXTCREATEPEN || r.Type == EMR_CREATEBRUSHINDIRECT) maxHandle = std::max(maxHandle, r.U32(8));
  EXPECT_EQ(h.U16(56), maxHandle + 1);
  int32_t l = 0, t = 0, r = -1, b = -1;
  for (const auto& rec : records) {
    if (rec.Type != EMR_STROKEANDFILLPATH && rec.Type != EMR_FILLPATH) continue;
    if (rec.I32(16) < rec.I32(8)) continue;
    if (r < l) {
      l = rec.I32(8), t = rec.I32(12), r = rec.I32(16), b = rec.I32(20);
    } else {
      l = std::min(l, rec.I32(8)), t = std::min(t, rec.I32(12));
      r = std::max(r, rec.I32(16)), b = std::max(b, rec.I32(20));
    }
  }
  EXPECT_EQ(h.I32(8), l);
  EXPECT_EQ(h.I32(12), t);
  EXPECT_EQ(h.I32(16), r);
  EXPECT_EQ(h.I32(20), b);
  const MetaRecord& eof = records.back();
  EXPECT_EQ(eof.Type, EMR_EOF);
  EXPECT_EQ(eof.Bytes, Words({{EMR_EOF, 20, 0, 16, 20}}));
}

TEST(RecordPicture, SmallPictureByteForByte) {
  const MetafilePicture pic = Record(Triangle(), Settings());
  EXPECT_EQ(pic.FrameWidth, 3325);
  EXPECT_EQ(pic.FrameHeight, 2690);
  // (10,30) -> (138,-265): 63.5 + 75 and 190.5 + 75 truncated, then y negated.
  // Bounds: points 138..710 x -1345..-265, grown by the miter reach 4 x 25,
  // at 96/2540 pixels a unit.
  const std::vector<uint8_t> expected = Words({
      {EMR_HEADER, 108, 1, 6, 30,   54,   0,   0,   3325, 2690, 0x464D4520, 0x10000, 388,   18,
       3,          0,   0, 0, 1920, 1080, 508, 286, 0,    0,    0,          508000,  285750},
      {EMR_SETMAPMODE, 12, 3},
      {EMR_SETWINDOWORGEX, 16, 0, 0},
      {EMR_EXTCREATEPEN, 52, 1, 0, 0, 0, 0, 0x12200, 50, 0, 0x000000FF, 0, 0},
      {EMR_SELECTOBJECT, 12, 1},
      {EMR_SETMITERLIMIT, 12, 0x40800000},  // 4.0f
      {EMR_CREATEBRUSHINDIRECT, 24, 2, 0, 0x0000FF00, 0},
      {EMR_SELECTOBJECT, 12, 2},
      {EMR_BEGINPATH, 8},
      {EMR_MOVETOEX, 16, 138, static_cast<uint32_t>(-265)},
      {EMR_LINETO, 16, 710, static_cast<uint32_t>(-265)},
      {EMR_LINETO, 16, 710, static_cast<uint32_t>(-1345)},
      {EMR_CLOSEFIGURE, 8},
      {EMR_ENDPATH, 8},
      {EMR_STROKEANDFILLPATH, 24, 1, 6, 30, 54},
      {EMR_SELECTOBJECT, 12, 0x80000007},
      {EMR_DELETEOBJECT, 12, 1},
      {EMR_EOF, 20, 0, 16, 20},
  });
  EXPECT_EQ(pic.Bytes, expected);
  ExpectConsistentHeader(pic.Bytes);
}

TEST(RecordPicture, TwoLayerDoublesThePenAndAddsAFillOnlyPath) {
  ConversionSettings s = Settings();
  s.Fukuromoji = true;
  const MetafilePicture pic = Record(Triangle(), s);
  EXPECT_EQ(pic.FrameWidth, 3475);
  EXPECT_EQ(pic.FrameHeight, 2840);
  const auto records = WalkEmf(pic.Bytes);
  EXPECT_EQ(RecordTypes(records), (std::vector<uint32_t>{EMR_HEADER,
                                                         EMR_SETMAPMODE,
                                                         EMR_SETWINDOWORGEX,
                                                         EMR_EXTCREATEPEN,
                                                         EMR_SELECTOBJECT,
                                                         EMR_SETMITERLIMIT,
                                                         EMR_CREATEBRUSHINDIRECT,
                                                         EMR_SELECTOBJECT,
                                                         EMR_BEGINPATH,
                                                         EMR_MOVETOEX,
                                                         EMR_LINETO,
                                                         EMR_LINETO,
                                                         EMR_CLOSEFIGURE,
                                                         EMR_ENDPATH,
                                                         EMR_STROKEANDFILLPATH,
                                                         EMR_BEGINPATH,
                                                         EMR_MOVETOEX,
                                                         EMR_LINETO,
                                                         EMR_LINETO,
                                                         EMR_CLOSEFIGURE,
                                                         EMR_ENDPATH,
                                                         EMR_FILLPATH,
                                                         EMR_SELECTOBJECT,
                                                         EMR_DELETEOBJECT,
                                                         EMR_EOF}));
  EXPECT_EQ(OfType(records, EMR_EXTCREATEPEN)[0].U32(32), 100u);
  const auto moves = OfType(records, EMR_MOVETOEX);
  ASSERT_EQ(moves.size(), 2u);
  for (const auto& m : moves) {
    EXPECT_EQ(m.I32(8), 213);
    EXPECT_EQ(m.I32(12), -340);
  }
  ExpectConsistentHeader(pic.Bytes);
}

TEST(RecordPicture, PenStyleAndMiterLimitByLineJoin) {
  struct Case {
    int join;
    uint32_t style;
    bool miter;
  };
  for (const Case& c : {Case{0, 0x12200, true}, Case{1, 0x10200, false}, Case{2, 0x11200, false},
                        Case{7, 0x10200, false}, Case{-1, 0x10200, false}}) {
    ConversionSettings s = Settings();
    s.LineJoin = c.join;
    s.MiterLimit = 10;
    const auto records = WalkEmf(Record(Triangle(), s).Bytes);
    EXPECT_EQ(OfType(records, EMR_EXTCREATEPEN)[0].U32(28), c.style) << "join " << c.join;
    const auto limits = OfType(records, EMR_SETMITERLIMIT);
    ASSERT_EQ(limits.size(), c.miter ? 1u : 0u) << "join " << c.join;
    if (c.miter) {
      EXPECT_EQ(limits[0].F32(8), 10.0f);
    }
  }
}

TEST(RecordPicture, BrushAndColours) {
  ConversionSettings s = Settings();
  s.TransparentFill = true;
  auto brush = OfType(WalkEmf(Record(Triangle(), s).Bytes), EMR_CREATEBRUSHINDIRECT);
  ASSERT_EQ(brush.size(), 1u);
  EXPECT_EQ(brush[0].U32(12), BS_NULL);
  EXPECT_EQ(brush[0].U32(16), 0x00FFFFFFu);

  // System colours are recorded as their RGB; plain ones lose the top byte.
  s = Settings();
  s.StrokeColor = 0x8000000D;  // COLOR_HIGHLIGHT: 0,120,215
  s.Font.Color = 0x8000000F;   // COLOR_BTNFACE: 240,240,240
  const auto records = WalkEmf(Record(Triangle(), s).Bytes);
  EXPECT_EQ(OfType(records, EMR_EXTCREATEPEN)[0].U32(40), 0x00D77800u);
  brush = OfType(records, EMR_CREATEBRUSHINDIRECT);
  EXPECT_EQ(brush[0].U32(12), BS_SOLID);
  EXPECT_EQ(brush[0].U32(16), 0x00F0F0F0u);
}

TEST(SystemColors, DefaultsUnknownsAndPlainColours) {
  EXPECT_EQ(ColorToRGB(0x80000005), 0x00FFFFFFu);  // COLOR_WINDOW
  EXPECT_EQ(ColorToRGB(0x80000008), 0x00000000u);  // COLOR_WINDOWTEXT
  EXPECT_EQ(ColorToRGB(0x80000018), 0x00E1FFFFu);  // COLOR_INFOBK 255,255,225
  EXPECT_EQ(ColorToRGB(0x80000019), 0u);           // index 25 has no colour
  EXPECT_EQ(ColorToRGB(0x8000001F), 0u);
  EXPECT_EQ(ColorToRGB(0x80FF0005), 0u);  // not COLOR_WINDOW: an unknown index
  EXPECT_EQ(ColorToRGB(0x1FFFFFFF), 0x00FFFFFFu);
  EXPECT_EQ(ColorToRGB(0x020080FF), 0x000080FFu);
}

TEST(RecordPicture, PointAboveTheCellKeepsItsTruncatedValue) {
  ConversionSettings s = Settings();
  s.StrokeWidth = 0;
  TPath path;
  path.Append({0, -30}, PT_MOVETO);
  path.Append({10, 30}, PT_LINETO);
  const MetafilePicture pic = Record(path, s);
  const auto records = WalkEmf(pic.Bytes);
  const auto move = OfType(records, EMR_MOVETOEX);
  ASSERT_EQ(move.size(), 1u);
  EXPECT_EQ(move[0].I32(8), 0);
  EXPECT_EQ(move[0].I32(12), 190);  // -trunc(-190.5)
  const auto line = OfType(records, EMR_LINETO);
  EXPECT_EQ(line[0].I32(8), 63);
  EXPECT_EQ(line[0].I32(12), -190);
  // No margin, a pen of width 0.
  EXPECT_EQ(pic.FrameWidth, 3175);
  EXPECT_EQ(pic.FrameHeight, 2540);
  EXPECT_EQ(OfType(records, EMR_EXTCREATEPEN)[0].U32(32), 0u);
  ExpectConsistentHeader(pic.Bytes);
}

TEST(RecordPicture, EmptyPathTakesTheScreenFrame) {
  ConversionSettings s = Settings();
  s.StrokeWidth = 0;
  MetafilePicture pic = Record(TPath(), s, 0, 100);
  EXPECT_EQ(pic.FrameWidth, 50800);
  EXPECT_EQ(pic.FrameHeight, 635);
  auto records = WalkEmf(pic.Bytes);
  EXPECT_EQ(RecordTypes(records),
            (std::vector<uint32_t>{EMR_HEADER, EMR_SETMAPMODE, EMR_SETWINDOWORGEX, EMR_EXTCREATEPEN, EMR_SELECTOBJECT,
                                   EMR_SETMITERLIMIT, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT, EMR_BEGINPATH,
                                   EMR_ENDPATH, EMR_STROKEANDFILLPATH, EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_EOF}));
  // Nothing drawn: the bounds are GDI's empty rectangle.
  for (size_t at : {8u, 12u}) EXPECT_EQ(records[0].I32(at), 0);
  for (size_t at : {16u, 20u}) EXPECT_EQ(records[0].I32(at), -1);
  EXPECT_EQ(OfType(records, EMR_STROKEANDFILLPATH)[0].Bytes,
            Words({{EMR_STROKEANDFILLPATH, 24, 0, 0, static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)}}));
  ExpectConsistentHeader(pic.Bytes);

  pic = Record(TPath(), s, 0, 0);
  EXPECT_EQ(pic.FrameWidth, 50800);
  EXPECT_EQ(pic.FrameHeight, 28600);  // the header's 286 mm
}

TEST(RecordPicture, SizesBeyond32BitsRunOutOfResources) {
  ConversionSettings s = Settings();
  s.Font.Size = 100000;
  TPath path = Triangle();
  MetafilePicture pic;
  try {
    RecordPicture(pic, path, 500000, 400, s);
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "システム リソースが足りません");
  }
  // A point far outside the text still has to fit.
  TPath far;
  far.Append({2000000000, 0}, PT_MOVETO);
  EXPECT_THROW(RecordPicture(pic, far, 10, 10, Settings()), EOutOfResources);
}

TEST(EmfRecorder, BezierRunsCloseAfterTheirThirdPoint) {
  TPath path;
  path.Append({0, 0}, PT_MOVETO);
  path.Append({10, 20}, PT_BEZIERTO);
  path.Append({30, 40}, PT_BEZIERTO);
  path.Append({50, -5}, PT_BEZIERTO | PT_CLOSEFIGURE);
  path.Append({40000, 0}, PT_MOVETO);
  path.Append({40010, 20}, PT_BEZIERTO);
  path.Append({40030, 40}, PT_BEZIERTO);
  path.Append({40050, -5}, PT_BEZIERTO | PT_CLOSEFIGURE);
  EmfRecorder rec(1000, 1000);
  path.BuildPath(rec);
  // The surface hands the same path back, the close flag on the third point.
  TPath back;
  back.LoadFromCanvas(rec);
  EXPECT_EQ(test::PathToString(back), test::PathToString(path));
  const auto records = WalkEmf(rec.Close());
  EXPECT_EQ(RecordTypes(records),
            (std::vector<uint32_t>{EMR_HEADER, EMR_BEGINPATH, EMR_MOVETOEX, EMR_POLYBEZIERTO16, EMR_CLOSEFIGURE,
                                   EMR_MOVETOEX, EMR_POLYBEZIERTO, EMR_CLOSEFIGURE, EMR_ENDPATH, EMR_EOF}));
  // 16-bit points when they fit, with bounds that include the start point.
  EXPECT_EQ(records[3].Bytes, Words({{EMR_POLYBEZIERTO16, 40, 0, static_cast<uint32_t>(-5), 50, 40, 3, 10 | (20u << 16),
                                      30 | (40u << 16), 50 | (0xFFFBu << 16)}}));
  EXPECT_EQ(records[6].Bytes, Words({{EMR_POLYBEZIERTO, 52, 40000, static_cast<uint32_t>(-5), 40050, 40, 3, 40010, 20,
                                      40030, 40, 40050, static_cast<uint32_t>(-5)}}));
}

TEST(EmfRecorder, BezierFromAFarPointTakesThe32BitForm) {
  EmfRecorder rec(100, 100);
  rec.MoveTo({-40000, 0});
  const TPoint pts[3] = {{1, 2}, {3, 4}, {5, 6}};
  rec.PolyBezierTo(pts, 3);
  const auto records = WalkEmf(rec.Close());
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2].Type, EMR_POLYBEZIERTO);
  EXPECT_EQ(records[2].I32(8), -40000);
}

TEST(EmfRecorder, ObjectsAndPathState) {
  EmfRecorder rec(100, 100);
  EXPECT_EQ(rec.GetPath(nullptr, nullptr, 0), -1);  // no path yet
  const TObjectHandle pen = rec.CreatePen({PS_GEOMETRIC, 10, 0});
  const TObjectHandle brush = rec.CreateBrush({BS_SOLID, 0, 0});
  EXPECT_EQ(pen, 1u);
  EXPECT_EQ(brush, 2u);
  EXPECT_EQ(rec.SelectObject(pen), StockBlackPen);
  EXPECT_EQ(rec.SelectObject(brush), StockWhiteBrush);
  EXPECT_EQ(rec.SelectObject(StockNullPen), pen);
  EXPECT_EQ(rec.SelectObject(99), 0u);  // unknown: fails, records nothing
  rec.DeleteObject(pen);
  rec.DeleteObject(StockNullPen);                       // stock objects are not deleted
  EXPECT_EQ(rec.CreatePen({PS_GEOMETRIC, 10, 0}), 1u);  // the freed slot again
  rec.FillPath();                                       // no closed path: nothing recorded
  const auto records = WalkEmf(rec.Close());
  EXPECT_EQ(RecordTypes(records),
            (std::vector<uint32_t>{EMR_HEADER, EMR_EXTCREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT,
                                   EMR_SELECTOBJECT, EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_EXTCREATEPEN, EMR_EOF}));
  EXPECT_EQ(records[0].U16(56), 3u);
}

TEST(BuildMetafile, RealTextEmptyTextAndLongText) {
  ConversionSettings s = Settings();
  s.Font.Name = "DejaVu Sans";
  s.Text = "Ag";
  MetafilePicture pic;
  BuildMetafile(pic, s, 96);
  const auto records = WalkEmf(pic.Bytes);
  EXPECT_GT(OfType(records, EMR_POLYBEZIERTO16).size() + OfType(records, EMR_LINETO).size(), 4u);
  EXPECT_GT(pic.FrameWidth, 150);
  EXPECT_EQ(records[0].I32(32), pic.FrameWidth);
  ExpectConsistentHeader(pic.Bytes);
  // Every recorded point lies inside the frame's margin-less area or its margin.
  for (const auto& r : OfType(records, EMR_MOVETOEX)) {
    EXPECT_GE(r.I32(8), 0);
    EXPECT_LE(r.I32(8), pic.FrameWidth);
  }

  s.Text = "";
  MetafilePicture empty;
  BuildMetafile(empty, s, 96);
  EXPECT_TRUE(OfType(WalkEmf(empty.Bytes), EMR_MOVETOEX).empty());
  ExpectConsistentHeader(empty.Bytes);

  s.Text = std::string(1000, 'W');
  s.StrokeWidth = 0;
  MetafilePicture longText;
  BuildMetafile(longText, s, 96);
  EXPECT_GT(longText.FrameWidth, 1000 * pic.FrameWidth / 4);
  ExpectConsistentHeader(longText.Bytes);
}

}  // namespace
}  // namespace glyphor
