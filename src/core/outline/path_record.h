// SPDX-License-Identifier: MIT
// The outline path record: points with their point-type bytes, exactly as a
// drawing surface hands a path out (see canvas.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/outline/canvas.h"
#include "core/platform/errors.h"

namespace glyphor {

enum PointKind : uint8_t { pkMoveTo = 0, pkLineTo = 1, pkBezierTo = 2 };

struct PathPoint {
  int32_t X = 0;
  int32_t Y = 0;
  PointKind Kind = pkMoveTo;
  bool CloseFigure = false;
};

struct TPathInfo {
  int32_t Count = 0;  // as last reported by the path query; may be 0 or negative
  std::vector<TPoint> Points;
  std::vector<uint8_t> Types;
};

// Common base of assignable objects.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual void Assign(const TPersistent& source);
  virtual std::string ClassName() const { return "TPersistent"; }
};

class TPath : public TPersistent {
 public:
  int32_t Count() const { return Info.Count; }
  PathPoint GetPoint(int32_t index) const;            // EPathError when out of range (inline below)
  void SetPoint(int32_t index, const PathPoint& pt);  // EPathError when out of range

  void LoadFromCanvas(TCanvas& canvas);
  void BuildPath(TCanvas& canvas) const;
  void FillOn(TCanvas& canvas) const;
  void StrokeAndFillOn(TCanvas& canvas) const;

  void Assign(const TPersistent& source) override;
  std::string ClassName() const override { return "TPath"; }

  // Appends one point; the record then counts it. For paths made by hand
  // rather than read from a surface (tests, fuzz inputs).
  void Append(TPoint p, uint8_t type);
  // Takes over a whole path read from a surface, as LoadFromCanvas would
  // copy it; the two arrays are of one length.
  void TakePoints(std::vector<TPoint>&& points, std::vector<uint8_t>&& types);

 private:
  TPathInfo Info;
};

// Inline: the writers read every point of a long text's path through it.
inline PathPoint TPath::GetPoint(int32_t index) const {
  if (index < 0 || index >= Info.Count) [[unlikely]]
    throw EPathError("TPath.GetPoint: Index is Out of Range");
  const uint8_t type = Info.Types[index];
  PathPoint p;
  p.X = Info.Points[index].X;
  p.Y = Info.Points[index].Y;
  switch (type & 0x06) {
    case PT_LINETO: p.Kind = pkLineTo; break;
    case PT_BEZIERTO: p.Kind = pkBezierTo; break;
    default: p.Kind = pkMoveTo; break;
  }
  p.CloseFigure = (type & PT_CLOSEFIGURE) != 0;
  return p;
}

}  // namespace glyphor
