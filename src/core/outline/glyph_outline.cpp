// SPDX-License-Identifier: MIT
#include "core/outline/glyph_outline.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/outline/layout.h"
#include "core/outline/path_record.h"
#include "core/platform/errors.h"

namespace glyphor {

namespace {

struct Point2 {
  double x, y;
};

TPoint Round(Point2 p) { return {WholePixel(p.x), WholePixel(p.y)}; }

// Collects one contour in whole pixels, so that a final line back to the
// start can be left to the close flag, and hands it to the surface whole.
class ContourWriter {
 public:
  explicit ContourWriter(TCanvas& canvas) : canvas_(canvas) {
    points_.reserve(256);
    types_.reserve(256);
  }

  void Move(TPoint p) {
    Flush();
    points_.push_back(p);
    types_.push_back(PT_MOVETO);
  }
  void Line(TPoint p) {
    points_.push_back(p);
    types_.push_back(PT_LINETO);
  }
  void Bezier(TPoint c1, TPoint c2, TPoint p) {
    points_.push_back(c1);
    points_.push_back(c2);
    points_.push_back(p);
    types_.push_back(PT_BEZIERTO);
    types_.push_back(PT_BEZIERTO);
    types_.push_back(PT_BEZIERTO);
  }

  void Flush() {
    if (points_.empty()) return;
    if (types_.back() == PT_LINETO && points_.back() == points_.front()) {
      points_.pop_back();
      types_.pop_back();
    }
    if (points_.size() > 1) canvas_.AddClosedFigure(points_.data(), types_.data(), static_cast<int>(points_.size()));
    points_.clear();
    types_.clear();
  }

 private:
  TCanvas& canvas_;
  std::vector<TPoint> points_;  // the open contour, its move first
  std::vector<uint8_t> types_;
};

void EmitGlyph(ContourWriter& out, const GlyphOutline& g, double s, double ox, double oy) {
  auto at = [&](size_t k) { return Point2{ox + g.xy[k] * s, oy - g.xy[k + 1] * s}; };
  Point2 current{ox, oy};
  size_t k = 0;
  for (Op op : g.ops) {
    switch (op) {
      case Op::Move:
        current = at(k);
        out.Move(Round(current));
        k += 2;
        break;
      case Op::Line:
        current = at(k);
        out.Line(Round(current));
        k += 2;
        break;
      case Op::Conic: {
        // A quadratic segment raised exactly to a cubic one.
        const Point2 q = at(k), p = at(k + 2);
        const Point2 c1{current.x + 2.0 / 3 * (q.x - current.x), current.y + 2.0 / 3 * (q.y - current.y)};
        const Point2 c2{p.x + 2.0 / 3 * (q.x - p.x), p.y + 2.0 / 3 * (q.y - p.y)};
        out.Bezier(Round(c1), Round(c2), Round(p));
        current = p;
        k += 4;
        break;
      }
      case Op::Cubic: {
        const Point2 c1 = at(k), c2 = at(k + 2), p = at(k + 4);
        out.Bezier(Round(c1), Round(c2), Round(p));
        current = p;
        k += 6;
        break;
      }
    }
  }
  out.Flush();
}

}  // namespace

void EmitGlyphs(TCanvas& canvas, const std::vector<PlacedGlyph>& glyphs, int em, double x, double baseline) {
  ContourWriter out(canvas);
  for (const PlacedGlyph& pg : glyphs) {
    const double s = static_cast<double>(em) / pg.face->Upem();
    EmitGlyph(out, pg.face->Outline(pg.gid), s, x + pg.x, baseline + pg.y);
  }
}

void ThrowTextTooLong() { throw EOutOfResources("テキストが長すぎます"); }

void EmitBar(TCanvas& canvas, int32_t x0, int32_t x1, double top, double thickness, bool counterClockwise) {
  const int32_t t = WholePixel(top);
  const int64_t b64 = int64_t{t} + std::max<int64_t>(1, WholePixel(thickness));
  const int32_t b = WholePixel(static_cast<double>(b64));
  // Right along the top, then down: clockwise as seen with y up.
  canvas.MoveTo({x0, t});
  if (counterClockwise) {
    canvas.LineTo({x0, b});
    canvas.LineTo({x1, b});
    canvas.LineTo({x1, t});
  } else {
    canvas.LineTo({x1, t});
    canvas.LineTo({x1, b});
    canvas.LineTo({x0, b});
  }
  canvas.CloseFigure();
}

}  // namespace glyphor
