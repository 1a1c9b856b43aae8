// SPDX-License-Identifier: MIT
#include "core/outline/path_record.h"

#include <gtest/gtest.h>

#include "support/test_paths.h"
#include "support/test_support.h"

using namespace glyphor;
using glyphor::test::PathToString;

namespace {

// A surface that logs the calls it receives, and hands out a preset path.
class LogCanvas : public TCanvas {
 public:
  std::string log;
  int pathResult = -1;
  std::vector<TPoint> points;
  std::vector<uint8_t> types;
  bool failOnLine = false;

  void BeginPath() override { log += "B "; }
  void EndPath() override { log += "E"; }
  int GetPath(TPoint* p, uint8_t* t, int count) override {
    if (count == 0 || pathResult <= 0) return pathResult;
    std::copy(points.begin(), points.end(), p);
    std::copy(types.begin(), types.end(), t);
    return pathResult;
  }
  void MoveTo(TPoint p) override { log += "M" + Pt(p); }
  void LineTo(TPoint p) override {
    if (failOnLine) throw std::runtime_error("drawing failed");
    log += "L" + Pt(p);
  }
  void PolyBezierTo(const TPoint* p, int n) override {
    log += "C";
    for (int i = 0; i < n; ++i) log += Pt(p[i]);
  }
  void CloseFigure() override { log += "z "; }
  void FillPath() override { log += " fill"; }
  void StrokeAndFillPath() override { log += " stroke+fill"; }
  TObjectHandle CreatePen(const TPenSpec&) override { return 0; }
  TObjectHandle CreateBrush(const TBrushSpec&) override { return 0; }
  TObjectHandle SelectObject(TObjectHandle) override { return 0; }
  void DeleteObject(TObjectHandle) override {}
  void SetMiterLimit(float) override {}

 private:
  static std::string Pt(TPoint p) { return std::to_string(p.X) + "," + std::to_string(p.Y) + " "; }
};

TPath Square() { return test::SquarePath(); }

}  // namespace

TEST(PathRecord, IndexesOutsideTheRecordFailWithTheirMessages) {
  TPath empty;
  EXPECT_EQ(empty.Count(), 0);
  try {
    empty.GetPoint(0);
    FAIL();
  } catch (const EPathError& e) {
    EXPECT_STREQ(e.what(), "TPath.GetPoint: Index is Out of Range");
  }
  TPath p = Square();
  EXPECT_THROW(p.GetPoint(p.Count()), EPathError);
  EXPECT_THROW(p.GetPoint(-1), EPathError);
  EXPECT_EQ(p.GetPoint(p.Count() - 1).X, 0);
  try {
    p.SetPoint(-1, {});
    FAIL();
  } catch (const EPathError& e) {
    EXPECT_STREQ(e.what(), "TPath.SetPoint: Index is Out of Range");
  }
  EXPECT_THROW(p.SetPoint(4, {}), EPathError);
  EXPECT_EQ(PathToString(p), "M0,0 L400,0 L400,400 L0,400 z");  // nothing changed
}

TEST(PathRecord, SetPointBuildsTheTypeByte) {
  TPath p = Square();
  p.SetPoint(1, {7, 8, pkBezierTo, true});
  const PathPoint back = p.GetPoint(1);
  EXPECT_EQ(back.Kind, pkBezierTo);
  EXPECT_TRUE(back.CloseFigure);
  EXPECT_EQ(back.X, 7);
  // The byte itself: replayed, a lone close-flagged Bezier byte (0x05) is a
  // Bezier kind with the close flag.
  p.SetPoint(2, {1, 1, static_cast<PointKind>(9), false});  // unknown kind: type 0, drawn as nothing
  EXPECT_EQ(p.GetPoint(2).Kind, pkMoveTo);
  EXPECT_FALSE(p.GetPoint(2).CloseFigure);
}

TEST(PathRecord, ReplayClosesABezierRunAfterItsThirdPoint) {
  TPath p;
  p.Append({0, 0}, PT_MOVETO);
  p.Append({10, 0}, PT_BEZIERTO);
  p.Append({20, 10}, PT_BEZIERTO);
  p.Append({20, 20}, PT_BEZIERTO | PT_CLOSEFIGURE);
  p.Append({50, 50}, PT_MOVETO);
  p.Append({60, 50}, PT_LINETO | PT_CLOSEFIGURE);
  LogCanvas c;
  p.StrokeAndFillOn(c);
  EXPECT_EQ(c.log, "B M0,0 C10,0 20,10 20,20 z M50,50 L60,50 z E stroke+fill");
  LogCanvas f;
  p.FillOn(f);
  EXPECT_EQ(f.log, "B M0,0 C10,0 20,10 20,20 z M50,50 L60,50 z E fill");
}

TEST(PathRecord, ReplayEndsTheBracketWhenDrawingFails) {
  TPath p = Square();
  LogCanvas c;
  c.failOnLine = true;
  EXPECT_THROW(p.BuildPath(c), std::runtime_error);
  EXPECT_EQ(c.log, "B M0,0 E");
}

TEST(PathRecord, LoadingWithoutAPathKeepsOldPointsUnreachable) {
  LogCanvas c;
  c.pathResult = 2;
  c.points = {{1, 2}, {3, 4}};
  c.types = {PT_MOVETO, PT_LINETO | PT_CLOSEFIGURE};
  TPath p;
  p.LoadFromCanvas(c);
  EXPECT_EQ(PathToString(p), "M1,2 L3,4 z");
  c.pathResult = -1;
  p.LoadFromCanvas(c);
  EXPECT_EQ(p.Count(), -1);
  EXPECT_THROW(p.GetPoint(0), EPathError);
  LogCanvas replay;
  p.BuildPath(replay);
  EXPECT_EQ(replay.log, "B E");
}

TEST(PathRecord, AssignCopiesPathsAndRefusesOtherObjects) {
  TPath a = Square(), b;
  b.Assign(a);
  EXPECT_EQ(PathToString(b), PathToString(a));
  a.SetPoint(0, {5, 5, pkMoveTo, false});
  EXPECT_EQ(b.GetPoint(0).X, 0);  // a copy, not a share
  TPersistent other;
  try {
    b.Assign(other);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "TPersistent を TPath に代入することはできません");
  }
}
