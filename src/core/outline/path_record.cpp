// SPDX-License-Identifier: MIT
#include "core/outline/path_record.h"

#include <climits>

namespace glyphor {

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError(FormatMessage("%s を %s に代入することはできません", {source.ClassName(), ClassName()}));
}

void TPath::SetPoint(int32_t index, const PathPoint& pt) {
  if (index < 0 || index >= Info.Count) throw EPathError("TPath.SetPoint: Index is Out of Range");
  uint8_t type = 0;
  switch (pt.Kind) {
    case pkMoveTo: type = PT_MOVETO; break;
    case pkLineTo: type = PT_LINETO; break;
    case pkBezierTo: type = PT_BEZIERTO; break;
  }
  if (pt.CloseFigure) type |= PT_CLOSEFIGURE;
  Info.Points[index] = {pt.X, pt.Y};
  Info.Types[index] = type;
}

void TPath::LoadFromCanvas(TCanvas& canvas) {
  Info.Count = canvas.GetPath(nullptr, nullptr, 0);
  if (Info.Count <= 0) return;  // the old arrays stay, unreachable through GetPoint
  Info.Points.resize(Info.Count);
  Info.Types.resize(Info.Count);
  canvas.GetPath(Info.Points.data(), Info.Types.data(), Info.Count);
}

void TPath::BuildPath(TCanvas& canvas) const {
  canvas.BeginPath();
  struct EndBracket {
    TCanvas& c;
    ~EndBracket() { c.EndPath(); }
  } end{canvas};
  for (int32_t i = 0; i < Info.Count; ++i) {
    switch (Info.Types[i] & 0x06) {
      case PT_LINETO: canvas.LineTo(Info.Points[i]); break;
      case PT_BEZIERTO:
        // A run of three; a truncated run at the end of a malformed record
        // cannot be drawn and is dropped.
        if (i + 2 >= Info.Count) return;
        canvas.PolyBezierTo(&Info.Points[i], 3);
        i += 2;
        break;
      case PT_MOVETO: canvas.MoveTo(Info.Points[i]); break;
      default: break;
    }
    if (Info.Types[i] & PT_CLOSEFIGURE) canvas.CloseFigure();
  }
}

void TPath::FillOn(TCanvas& canvas) const {
  BuildPath(canvas);
  canvas.FillPath();
}

void TPath::StrokeAndFillOn(TCanvas& canvas) const {
  BuildPath(canvas);
  canvas.StrokeAndFillPath();
}

void TPath::Assign(const TPersistent& source) {
  const auto* other = dynamic_cast<const TPath*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  const int32_t n = other->Info.Count;
  Info.Count = n;
  const size_t size = n > 0 ? static_cast<size_t>(n) : 0;
  Info.Points.assign(other->Info.Points.begin(),
                     other->Info.Points.begin() + std::min(size, other->Info.Points.size()));
  Info.Types.assign(other->Info.Types.begin(), other->Info.Types.begin() + std::min(size, other->Info.Types.size()));
  Info.Points.resize(size);
  Info.Types.resize(size);
}

void TPath::Append(TPoint p, uint8_t type) {
  const size_t n = Info.Count > 0 ? static_cast<size_t>(Info.Count) : 0;
  Info.Points.resize(n);
  Info.Types.resize(n);
  Info.Points.push_back(p);
  Info.Types.push_back(type);
  Info.Count = static_cast<int32_t>(n + 1);
}

void TPath::TakePoints(std::vector<TPoint>&& points, std::vector<uint8_t>&& types) {
  if (points.size() != types.size() || points.size() > static_cast<size_t>(INT32_MAX))
    throw EPathError("TPath.TakePoints: points and types differ");
  Info.Count = static_cast<int32_t>(points.size());
  Info.Points = std::move(points);
  Info.Types = std::move(types);
}

}  // namespace glyphor
