// SPDX-License-Identifier: MIT
#include "support/test_paths.h"

namespace glyphor::test {

std::string PathToString(const TPath& path) {
  std::string out;
  int bezier = 0;
  for (int32_t i = 0; i < path.Count(); ++i) {
    const PathPoint p = path.GetPoint(i);
    if (!out.empty()) out += ' ';
    switch (p.Kind) {
      case pkMoveTo:
        out += 'M';
        bezier = 0;
        break;
      case pkLineTo:
        out += 'L';
        bezier = 0;
        break;
      case pkBezierTo:
        if (bezier % 3 == 0) out += 'C';
        ++bezier;
        break;
    }
    out += std::to_string(p.X) + "," + std::to_string(p.Y);
    if (p.CloseFigure) {
      out += " z";
      bezier = 0;
    }
  }
  return out;
}

TPath SquarePath() {
  TPath p;
  p.Append({0, 0}, PT_MOVETO);
  p.Append({400, 0}, PT_LINETO);
  p.Append({400, 400}, PT_LINETO);
  p.Append({0, 400}, PT_LINETO | PT_CLOSEFIGURE);
  return p;
}

TPath TrianglePath() {
  TPath p;
  p.Append({10, 30}, PT_MOVETO);
  p.Append({100, 30}, PT_LINETO);
  p.Append({100, 200}, PT_LINETO | PT_CLOSEFIGURE);
  return p;
}

}  // namespace glyphor::test
