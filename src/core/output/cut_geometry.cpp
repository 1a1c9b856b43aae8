#include "core/output/cut_geometry.h"

#include <algorithm>
#include <cmath>

#include <polyclipping/clipper.hpp>

#include "core/output/svg_writer.h"

namespace glyphor {

namespace {

namespace CL = ClipperLib;

// Largest distance in mm between an output edge made of chords and the true
// curved edge; with the rounding to the grid the output stays within the
// 0.005 mm a cutter may be off.
constexpr double EdgeTolerance = 0.004;
// How far a join may reach past a smooth edge where a corner is drawn smooth.
constexpr double SmoothSlack = 0.0002;
// Enough halvings for any curve of a glyph; only a cusp gets this deep.
constexpr int MaxSplitDepth = 16;

struct Vec {
  double x = 0, y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
bool operator==(Vec a, Vec b) { return a.x == b.x && a.y == b.y; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
Vec Mid(Vec a, Vec b) { return (a + b) * 0.5; }
bool IsZero(Vec v) { return v.x == 0 && v.y == 0; }
double Length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }
Vec Unit(Vec v) {
  const double l = Length(v);
  return l > 0 ? v * (1 / l) : Vec{};
}
// The normal of a direction: turned a quarter from x towards y.
Vec Normal(Vec t) { return {-t.y, t.x}; }
Vec Rotate(Vec v, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {v.x * c - v.y * s, v.x * s + v.y * c};
}
// The first of up to three vectors that is not zero.
Vec FirstNonZero(Vec a, Vec b, Vec c) { return !IsZero(a) ? a : !IsZero(b) ? b : c; }

// A vertex of a flattened subpath. Vertices that end a drawing element are
// corners and carry the element's exact unit tangents, so that joins are
// those of the curves rather than of their chords; a vertex inside a
// flattened curve is no corner.
struct Vertex {
  Vec p;
  Vec in, out;  // zero where no element arrives or leaves
  bool corner = false;
};

struct Subpath {
  std::vector<Vertex> v;
  bool closed = false;
};

// What bounds a flattened piece: the edge tolerance, and the stroke's half
// width, which magnifies the piece's turn on the stroke's outer edge.
struct Tolerance {
  double error = EdgeTolerance;
  double halfWidth = 0;
};

// The turn of a Bézier's control polygon, which bounds the curve's own.
double ControlTurn(Vec p0, Vec c1, Vec c2, Vec p3) {
  const Vec legs[3] = {c1 - p0, c2 - c1, p3 - c2};
  double turn = 0;
  Vec prev;
  for (Vec leg : legs) {
    if (IsZero(leg)) continue;
    if (!IsZero(prev)) turn += std::fabs(std::atan2(Cross(prev, leg), Dot(prev, leg)));
    prev = leg;
  }
  return turn;
}

// A piece is flat enough when its chord is within the tolerance of the curve
// (which stays within 3/4 of the control points' distance from the chord's
// line) and so is the stroke's outer edge, which runs through offset points
// on the curve's normals: its chord falls short of the offset curve by the
// half width times 1 - cos of half the turn more.
bool FlatEnough(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol) {
  const Vec chord = Unit(p3 - p0);
  const double off = IsZero(chord) ? std::sqrt(std::max(Dot(c1 - p0, c1 - p0), Dot(c2 - p0, c2 - p0)))
                                   : std::max(std::fabs(Cross(chord, c1 - p0)), std::fabs(Cross(chord, c2 - p0)));
  const double flat = 0.75 * off;
  if (flat > tol.error) return false;
  return tol.halfWidth == 0 || flat + tol.halfWidth * (1 - std::cos(ControlTurn(p0, c1, c2, p3) / 2)) <= tol.error;
}

// Appends the points of a flattened piece after p0, p3 last, halving it
// until it is flat enough.
void FlattenPiece(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol, int depth, std::vector<Vertex>& out) {
  if (depth < MaxSplitDepth && !FlatEnough(p0, c1, c2, p3, tol)) {
    const Vec a = Mid(p0, c1), b = Mid(c1, c2), c = Mid(c2, p3);
    const Vec ab = Mid(a, b), bc = Mid(b, c), m = Mid(ab, bc);
    FlattenPiece(p0, a, ab, m, tol, depth + 1, out);
    FlattenPiece(m, bc, c, p3, tol, depth + 1, out);
    return;
  }
  if (!(out.back().p == p3)) out.push_back({p3, {}, {}, false});
}

// How many pieces of equal parameter span should be flat enough: the chord
// error falls with the square of the count (the bound of Wang's formula) and
// so does, for small turns, what the turn adds on the stroke's outer edge.
// Halving alone overshoots by half on average, and every point costs twice
// more in the weld.
int PieceCount(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol) {
  const double bend =
      0.75 * std::sqrt(std::max(Dot(p0 - c1 * 2 + c2, p0 - c1 * 2 + c2), Dot(c1 - c2 * 2 + p3, c1 - c2 * 2 + p3)));
  const double turn = tol.halfWidth > 0 ? ControlTurn(p0, c1, c2, p3) : 0;
  const double n = std::sqrt((bend + tol.halfWidth * turn * turn / 8) / tol.error);
  return static_cast<int>(std::clamp(std::ceil(n), 1.0, 1024.0));
}

// Appends the points of a flattened cubic after p0, p3 last.
void Flatten(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol, std::vector<Vertex>& out) {
  const int n = PieceCount(p0, c1, c2, p3, tol);
  if (n == 1) return FlattenPiece(p0, c1, c2, p3, tol, 0, out);
  // The curve as a polynomial: B(t) = p0 + t (k1 + t (k2 + t k3)).
  const Vec k1 = (c1 - p0) * 3, k2 = (p0 - c1 * 2 + c2) * 3, k3 = p3 - p0 + (c1 - c2) * 3;
  auto at = [&](double t) { return p0 + (k1 + (k2 + k3 * t) * t) * t; };
  auto slope = [&](double t) { return k1 + (k2 * 2 + k3 * (3 * t)) * t; };
  const double h = 1.0 / n;
  Vec a = p0, da = k1 * (h / 3);
  for (int i = 1; i <= n; ++i) {
    const double t = i * h;
    const Vec b = i == n ? p3 : at(t), db = slope(t) * (h / 3);
    FlattenPiece(a, a + da, b - db, b, tol, 0, out);
    a = b;
    da = db;
  }
}

// Collects subpaths the way an SVG renderer reads the document's path data:
// after a close the next subpath starts where the closed one did.
class SubpathBuilder {
 public:
  explicit SubpathBuilder(Tolerance tol) : tol_(tol) {}

  void Move(Vec p) {
    End();
    cur_.v.push_back({p, {}, {}, true});
  }
  void Line(Vec p) {
    Vertex& last = Current(p);
    if (last.p == p) return;
    const Vec t = Unit(p - last.p);
    last.out = t;
    cur_.v.push_back({p, t, {}, true});
  }
  void Cubic(Vec c1, Vec c2, Vec p) {
    Vertex& last = Current(c1);
    const Vec p0 = last.p;
    if (p0 == c1 && c1 == c2 && c2 == p) return;
    last.out = Unit(FirstNonZero(c1 - p0, c2 - p0, p - p0));
    Flatten(p0, c1, c2, p, tol_, cur_.v);
    Vertex& end = cur_.v.back();
    end.in = Unit(FirstNonZero(p - c2, p - c1, p - p0));
    end.corner = true;
  }
  void Close() {
    if (cur_.v.empty()) return;
    cur_.closed = true;
    start_ = cur_.v.front().p;
    End();
    restart_ = true;
  }
  std::vector<Subpath> Finish() {
    End();
    return std::move(done_);
  }

 private:
  // The vertex a drawing element starts from; a subpath without a move
  // starts at the element's first point, or where the last closed one did.
  Vertex& Current(Vec fallback) {
    if (cur_.v.empty()) cur_.v.push_back({restart_ ? start_ : fallback, {}, {}, true});
    return cur_.v.back();
  }

  void End() {
    restart_ = false;
    Subpath sp = std::move(cur_);
    cur_ = {};
    if (sp.closed && sp.v.size() > 1) {
      Vertex &first = sp.v.front(), &last = sp.v.back();
      if (last.p == first.p) {
        first.in = last.in;
        sp.v.pop_back();
      } else {
        last.out = first.in = Unit(first.p - last.p);
      }
    }
    if (sp.v.size() > 1) done_.push_back(std::move(sp));
  }

  Tolerance tol_;
  Subpath cur_;
  std::vector<Subpath> done_;
  Vec start_;
  bool restart_ = false;
};

// The page transform of the SVG document: pixels to millimetres.
struct PageMap {
  double q = 0, r = 0;
  int resolution = MinResolution;
  explicit PageMap(const ConversionSettings& s)
      : q(SizeScale(s.Font.Size)),
        r(s.StrokeWidth / 100.0 * (s.Fukuromoji ? 2 : 1)),
        resolution(s.Resolution > 0 ? s.Resolution : MinResolution) {}
  // The same expression as the document's, so that both agree to the bit.
  double X(double v) const { return v * 25.4 * q / resolution + r * 1.5; }
  Vec operator()(const PathPoint& p) const { return {X(p.X), X(p.Y)}; }
};

std::vector<Subpath> ReadSubpaths(const TPath& path, const PageMap& map, Tolerance tol) {
  SubpathBuilder b(tol);
  for (int32_t i = 0; i < path.Count(); ++i) {
    PathPoint p = path.GetPoint(i);
    switch (p.Kind) {
      case pkMoveTo: b.Move(map(p)); break;
      case pkLineTo: b.Line(map(p)); break;
      case pkBezierTo: {
        if (i + 2 >= path.Count()) return b.Finish();  // a truncated run is not drawn
        const PathPoint c2 = path.GetPoint(i + 1), end = path.GetPoint(i + 2);
        b.Cubic(map(p), map(c2), map(end));
        p = end;
        i += 2;
        break;
      }
    }
    if (p.CloseFigure) b.Close();
  }
  return b.Finish();
}

// Clipper sweeps its scan lines across y, and each line meets every edge it
// crosses; a line of text crossed along x meets a glyph or two, across y all
// of them. So x and y trade places on the grid.
// A coordinate in grid units, held within Clipper's range: only a settings
// file's absurd font size gets near it.
CL::cInt GridUnits(double mm) {
  constexpr double Limit = 1e18;
  return static_cast<CL::cInt>(std::llround(std::clamp(mm * CutUnitsPerMm, -Limit, Limit)));
}
CL::IntPoint ToGrid(Vec p) { return {GridUnits(p.y), GridUnits(p.x)}; }

CL::Path FillPolygon(const Subpath& sp) {
  CL::Path poly;
  poly.reserve(sp.v.size());
  for (const Vertex& v : sp.v) {
    const CL::IntPoint q = ToGrid(v.p);
    if (poly.empty() || !(poly.back() == q)) poly.push_back(q);
  }
  return poly;
}

// The stroke band of subpaths, as SVG defines a stroke: the union of a
// rectangle along every segment and a join wedge at every vertex. Each
// subpath gives the band's two edges; where an inner edge would skip a
// region that the segments do not cover twice, it goes through the vertex
// itself, so that the nonzero filling of the edges is exactly that union.
class BandWriter {
 public:
  BandWriter(double halfWidth, int join, double miterLimit)
      : d_(halfWidth),
        join_(join),
        limit_(miterLimit),
        step_(2 * std::acos(std::max(0.0, 1 - EdgeTolerance / halfWidth))),
        cosStep_(std::cos(step_)),
        smoothDot_(2 * (halfWidth / (halfWidth + SmoothSlack)) * (halfWidth / (halfWidth + SmoothSlack)) - 1) {}

  void Add(const Subpath& sp, CL::Paths& out) {
    Chords(sp);
    const size_t n = sp.v.size();
    if (sp.closed) {
      for (int side : {1, -1}) {
        edge_.clear();
        for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, side);
        if (side < 0) std::reverse(edge_.begin(), edge_.end());
        out.push_back(edge_);
      }
      return;
    }
    // An open subpath: one edge out along one side, back along the other;
    // its ends are the butt caps.
    edge_.clear();
    for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, 1);
    CL::Path forward = std::move(edge_);
    edge_.clear();
    for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, -1);
    forward.insert(forward.end(), edge_.rbegin(), edge_.rend());
    out.push_back(std::move(forward));
  }

 private:
  // A direction at a vertex, with the length of the segment it belongs to
  // (0 for the exact tangent of a curve, which has no segment of its own).
  struct Dir {
    Vec t;
    double len = 0;
  };

  void Chords(const Subpath& sp) {
    const size_t n = sp.v.size(), m = sp.closed ? n : n - 1;
    chords_.resize(m);
    for (size_t i = 0; i < m; ++i) {
      const Vec c = sp.v[(i + 1) % n].p - sp.v[i].p;
      chords_[i] = {Unit(c), Length(c)};
    }
  }

  void EmitVertex(const Subpath& sp, size_t k, int side) {
    const size_t n = sp.v.size();
    const Vertex& v = sp.v[k];
    const bool corner = v.corner && !Smooth(v);
    Dir dirs[4];
    int count = 0;
    if (sp.closed || k > 0) dirs[count++] = chords_[(k + n - 1) % n];
    if (corner && !IsZero(v.in) && (count == 0 || !(v.in == dirs[0].t))) dirs[count++] = {v.in};
    const int arriving = count;
    const bool leaving = sp.closed || k + 1 < n;
    if (corner && !IsZero(v.out) && (!leaving || !(v.out == chords_[k].t))) dirs[count++] = {v.out};
    if (leaving) dirs[count++] = chords_[k];

    const Vec p = v.p;
    if (!sp.closed && k == 0) Push(p + Offset(dirs[0].t, side));  // butt cap
    for (int i = 0; i + 1 < count; ++i) EmitTurn(p, dirs[i], dirs[i + 1], corner && i + 1 == arriving, side);
    if (!sp.closed && k + 1 == n) Push(p + Offset(dirs[count - 1].t, side));
  }

  // A corner so slight that any join reaches less than SmoothSlack past a
  // smooth edge: font curves meet so, their handles rounded to whole pixels.
  // Joined as the points inside a flattened curve are, it costs no points
  // for the exact tangents.
  bool Smooth(const Vertex& v) const { return !IsZero(v.in) && !IsZero(v.out) && Dot(v.in, v.out) >= smoothDot_; }

  Vec Offset(Vec t, int side) const { return Normal(t) * (side * d_); }

  // The edge from the offset of `a` to that of `b` around vertex p.
  void EmitTurn(Vec p, Dir a, Dir b, bool cornerJoin, int side) {
    const double cross = Cross(a.t, b.t), dot = Dot(a.t, b.t);
    if (cross == 0 && dot > 0) return Push(p + Offset(a.t, side));
    if (side == (cross >= 0 ? 1 : -1)) return Inner(p, a, b, cross, dot, side);
    if (!cornerJoin) return Smooth(p, a.t, b.t, cross, dot, side);
    Push(p + Offset(a.t, side));
    if (join_ == 1) {
      const double psi = std::atan2(cross, dot);
      const int pieces = static_cast<int>(std::ceil(std::fabs(psi) / step_));
      for (int i = 1; i < pieces; ++i) Push(p + Rotate(Offset(a.t, side), psi * i / pieces));
    } else if (join_ == 0 && 2 <= limit_ * limit_ * (1 + dot)) {
      // SVG bevels a miter longer than the limit times the stroke width.
      Push(p + (Normal(a.t) + Normal(b.t)) * (side * d_ / (1 + dot)));
    }
    Push(p + Offset(b.t, side));
  }

  // The inner edge turns where the two offset segments cross when both
  // segments reach past that point and past each other's end; otherwise it
  // runs through the vertex, so that nothing they cover only once is cut away.
  void Inner(Vec p, Dir a, Dir b, double cross, double dot, int side) {
    const double reach = d_ * std::fabs(cross) / (dot < 0 ? 1 + dot : 1);
    if (dot > -1 && a.len >= reach && b.len >= reach)
      return Push(p + (Normal(a.t) + Normal(b.t)) * (side * d_ / (1 + dot)));
    Push(p + Offset(a.t, side));
    Push(p);
    Push(p + Offset(b.t, side));
  }

  // The outer edge at a turn inside a flattened curve: a point on the arc
  // around the vertex in the middle of each piece of the turn.
  void Smooth(Vec p, Vec a, Vec b, double cross, double dot, int side) {
    if (dot >= cosStep_) return Push(p + Unit(Normal(a) + Normal(b)) * (side * d_));
    const double psi = std::atan2(cross, dot);
    const int pieces = static_cast<int>(std::ceil(std::fabs(psi) / step_));
    for (int i = 0; i < pieces; ++i) Push(p + Rotate(Offset(a, side), psi * (i + 0.5) / pieces));
  }

  void Push(Vec p) {
    const CL::IntPoint q = ToGrid(p);
    if (edge_.empty() || !(edge_.back() == q)) edge_.push_back(q);
  }

  double d_;
  int join_;
  double limit_;
  double step_, cosStep_;  // the turn of a chord of an arc within the tolerance
  double smoothDot_;       // the cosine of the largest turn of a smooth corner
  std::vector<Dir> chords_;
  CL::Path edge_;
};

// Back from the grid's swapped axes; reversed, so that an outer contour
// that Clipper winds positively does so on the page too.
CutContour ToContour(const CL::Path& p) {
  CutContour c(p.size());
  std::transform(p.rbegin(), p.rend(), c.begin(), [](const CL::IntPoint& q) { return CutPoint{q.Y, q.X}; });
  return c;
}

// Unites polygons filled by the nonzero rule, as the document's path element
// is; the result has no crossings, and holes wind against their outers.
// Contours may touch at a vertex: that changes neither fill rule's picture
// nor a cut, and keeping them apart (StrictlySimple) costs a fifth more time.
CL::Paths Unite(const CL::Paths& paths) {
  CL::Clipper c;
  c.AddPaths(paths, CL::ptSubject, true);
  CL::Paths out;
  c.Execute(CL::ctUnion, out, CL::pftNonZero, CL::pftNonZero);
  return out;
}

// Which regions the layers hold, bottom first.
enum class Stack {
  Both,      // fill and stroke band in the stroke colour, the fill less the band on top
  TwoLayer,  // fill and (doubled) band in the stroke colour, the whole fill on top
  Outline,   // transparent fill: the band alone
  Fill,      // no stroke: the fill alone
};

// Polygons with the extents that decide whether a ray from a point to +x
// can cross them.
struct FillSet {
  explicit FillSet(const CL::Paths& p) : polys(p) {
    for (const CL::Path& poly : p) {
      Bounds b{INT64_MAX, INT64_MIN, INT64_MIN};
      for (const CL::IntPoint& q : poly) b = {std::min(b.y0, q.Y), std::max(b.y1, q.Y), std::max(b.x1, q.X)};
      bounds.push_back(b);
    }
  }
  struct Bounds {
    CL::cInt y0, y1, x1;
  };
  const CL::Paths& polys;
  std::vector<Bounds> bounds;
};

// The winding number of the fill polygons around p.
int Winding(CL::IntPoint p, const FillSet& fills) {
  int w = 0;
  for (size_t k = 0; k < fills.polys.size(); ++k) {
    const FillSet::Bounds& b = fills.bounds[k];
    if (p.Y < b.y0 || p.Y > b.y1 || p.X > b.x1) continue;
    const CL::Path& poly = fills.polys[k];
    for (size_t i = 0, n = poly.size(); i < n; ++i) {
      const CL::IntPoint a = poly[i], b = poly[(i + 1) % n];
      if ((a.Y <= p.Y) == (b.Y <= p.Y)) continue;
      const __int128 side =
          static_cast<__int128>(b.X - a.X) * (p.Y - a.Y) - static_cast<__int128>(p.X - a.X) * (b.Y - a.Y);
      if (a.Y <= p.Y && side > 0) ++w;
      if (a.Y > p.Y && side < 0) --w;
    }
  }
  return w;
}

// Whether a hole of the band lies in the fill. The fill's edges all lie under
// the band, so a hole is wholly in the fill or wholly out of it; its own
// vertices vote, since one may lie on a bevel that passes close to an edge.
bool InFill(const CL::Path& hole, const FillSet& fills) {
  const size_t samples = std::min<size_t>(5, hole.size());
  size_t in = 0;
  for (size_t k = 0; k < samples; ++k) in += Winding(hole[k * hole.size() / samples], fills) != 0;
  return 2 * in > samples;
}

// Regions made of the band's regions: every region between band contours is
// the band, a hole in the fill, or a hole outside it. A contour is written
// where the layer's region changes, wound as an outer where it begins.
class LayerSplitter {
 public:
  LayerSplitter(const CL::Paths& fills, std::vector<CutContour>* bottom, std::vector<CutContour>* top)
      : fills_(fills), bottom_(bottom), top_(top) {}

  void Walk(const CL::PolyNode& node, bool parentBottom = false, bool parentTop = false) {
    const bool holeInFill = node.IsHole() && InFill(node.Contour, fills_);
    const bool inBottom = !node.IsHole() || holeInFill;  // the fill and the band
    const bool inTop = holeInFill;                       // the fill less the band
    if (inBottom != parentBottom) Write(node.Contour, inBottom, *bottom_);
    if (top_ && inTop != parentTop) Write(node.Contour, inTop, *top_);
    for (const CL::PolyNode* child : node.Childs) Walk(*child, inBottom, inTop);
  }

 private:
  static void Write(CL::Path contour, bool outer, std::vector<CutContour>& to) {
    if (CL::Orientation(contour) != outer) CL::ReversePath(contour);
    to.push_back(ToContour(contour));
  }

  FillSet fills_;
  std::vector<CutContour>*bottom_, *top_;
};

// Welds one group's fill polygons and stroke bands into the layers' regions.
void Weld(const CL::Paths& fills, const CL::Paths& bands, Stack stack, bool bandCoversEdges,
          std::vector<CutLayer>& layers) {
  auto append = [&](size_t layer, const CL::Paths& paths) {
    for (const CL::Path& p : paths) layers[layer].Contours.push_back(ToContour(p));
  };
  if (stack == Stack::Fill || stack == Stack::Outline) return append(0, Unite(stack == Stack::Fill ? fills : bands));
  if (!bandCoversEdges) {
    // A hairline stroke: the fill's edges may show beside the band.
    CL::Clipper c;
    c.AddPaths(fills, CL::ptSubject, true);
    c.AddPaths(bands, CL::ptClip, true);
    CL::Paths bottom, top;
    c.Execute(CL::ctUnion, bottom, CL::pftNonZero, CL::pftNonZero);
    if (stack == Stack::Both) c.Execute(CL::ctDifference, top, CL::pftNonZero, CL::pftNonZero);
    append(0, bottom);
    return append(1, stack == Stack::Both ? top : Unite(fills));
  }
  CL::Clipper c;
  c.AddPaths(bands, CL::ptSubject, true);
  CL::PolyTree tree;
  c.Execute(CL::ctUnion, tree, CL::pftNonZero, CL::pftNonZero);
  const bool both = stack == Stack::Both;
  LayerSplitter(fills, &layers[0].Contours, both ? &layers[1].Contours : nullptr).Walk(tree);
  if (!both) append(1, Unite(fills));
}

// Subpaths in groups whose extents, widened by `reach` (how far the stroke
// goes from the path), overlap one another, transitively. Groups share no
// point, so each is welded on its own: a scan line then crosses only its
// group's edges.
std::vector<std::vector<size_t>> Groups(const std::vector<Subpath>& subpaths, double reach) {
  struct Box {
    double x0, y0, x1, y1;
  };
  std::vector<Box> boxes;
  for (const Subpath& sp : subpaths) {
    Box b{sp.v[0].p.x, sp.v[0].p.y, sp.v[0].p.x, sp.v[0].p.y};
    for (const Vertex& v : sp.v)
      b = {std::min(b.x0, v.p.x), std::min(b.y0, v.p.y), std::max(b.x1, v.p.x), std::max(b.y1, v.p.y)};
    const double m = reach + 1 / CutUnitsPerMm;
    boxes.push_back({b.x0 - m, b.y0 - m, b.x1 + m, b.y1 + m});
  }
  std::vector<size_t> order(boxes.size()), parent(boxes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = parent[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return boxes[a].x0 < boxes[b].x0; });
  auto root = [&](size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  for (size_t i = 0; i < order.size(); ++i) {
    const Box& a = boxes[order[i]];
    for (size_t j = i + 1; j < order.size() && boxes[order[j]].x0 <= a.x1; ++j) {
      const Box& b = boxes[order[j]];
      if (b.y0 <= a.y1 && a.y0 <= b.y1) parent[root(order[j])] = root(order[i]);
    }
  }
  std::vector<std::vector<size_t>> groups;
  std::vector<size_t> slot(boxes.size(), SIZE_MAX);
  for (size_t i : order) {
    size_t& g = slot[root(i)];
    if (g == SIZE_MAX) {
      g = groups.size();
      groups.emplace_back();
    }
    groups[g].push_back(i);
  }
  return groups;
}

int JoinIndex(int join) { return join >= 0 && join <= 2 ? join : 1; }  // none selected draws round

}  // namespace

CutPage PageSize(int32_t width, int32_t height, const ConversionSettings& s) {
  const PageMap m(s);
  return {width * 25.4 * m.q / m.resolution + m.r * 3, height * 25.4 * m.q / m.resolution + m.r * 3};
}

std::vector<CutLayer> BuildCutLayers(const TPath& path, const ConversionSettings& s) {
  const PageMap map(s);
  const double halfWidth = map.r / 2;
  const bool stroked = halfWidth > 0, filled = !s.TransparentFill;
  const int join = JoinIndex(s.LineJoin);
  const int limit = std::max(1, s.MiterLimit);  // under 1 is no valid SVG value; 1 is the nearest
  Tolerance tol;
  if (stroked) tol.halfWidth = halfWidth;
  const std::vector<Subpath> subpaths = ReadSubpaths(path, map, tol);

  std::vector<CutLayer> layers;
  if (stroked) layers.push_back({"outline", s.StrokeColor, {}});
  if (filled) layers.push_back({"fill", s.Font.Color, {}});
  const Stack stack = !stroked ? Stack::Fill : !filled ? Stack::Outline : s.Fukuromoji ? Stack::TwoLayer : Stack::Both;
  BandWriter band(stroked ? halfWidth : 1, join, limit);
  // The fill's edges run inside the band unless the band is within the
  // tolerances of a line.
  const bool bandCoversEdges = halfWidth > 4 * EdgeTolerance;
  const double reach = stroked ? halfWidth * (join == 0 ? limit : 1) : 0;
  for (const std::vector<size_t>& group : Groups(subpaths, reach)) {
    CL::Paths fills, bands;
    for (size_t i : group) {
      if (filled) fills.push_back(FillPolygon(subpaths[i]));
      if (stroked) band.Add(subpaths[i], bands);
    }
    Weld(fills, bands, stack, bandCoversEdges, layers);
  }
  std::erase_if(layers, [](const CutLayer& l) { return l.Contours.empty(); });
  return layers;
}

void AppendMillimetres(std::string& out, int64_t units) {
  if (units == 0) {
    out += "0.0000";
    return;
  }
  uint64_t a = units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  char digits[32];
  char* p = digits + sizeof digits;
  for (int i = 0; i < 4; ++i, a /= 10) *--p = static_cast<char>('0' + a % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
  } while (a);
  if (units < 0) *--p = '-';
  out.append(p, digits + sizeof digits);
}

namespace {

std::string PathElement(const CutLayer& layer) {
  std::string e = "<path id=\"" + layer.Role + "\" style=\"fill:" + ColorToHtml(layer.Color) + "; stroke:none\" d=\"";
  for (const CutContour& c : layer.Contours) {
    for (size_t i = 0; i < c.size(); ++i) {
      e += i == 0 ? "M" : i == 1 ? "L" : "";
      AppendMillimetres(e, c[i].X);
      e += ' ';
      AppendMillimetres(e, c[i].Y);
      e += ' ';
    }
    e += "z\r\n";
  }
  while (!e.empty() && static_cast<unsigned char>(e.back()) <= 32) e.pop_back();
  return e + "\"/>";
}

}  // namespace

std::string CutSvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  const CutPage page = PageSize(width, height, s);
  const std::string w = FormatNumber(page.Width), h = FormatNumber(page.Height);
  std::string doc = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n";
  doc += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "mm\" height=\"" + h + "mm\" viewBox=\"0 0 " + w +
         " " + h + "\">\r\n";
  for (const CutLayer& layer : BuildCutLayers(path, s)) doc += PathElement(layer) + "\r\n";
  doc += "</svg>\r\n";
  return doc;
}

}  // namespace glyphor
