// SPDX-License-Identifier: MIT
#include "core/output/cut_geometry.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include <polyclipping/clipper.hpp>

#include "core/output/svg_writer.h"

namespace glyphor {

namespace {

namespace CL = ClipperLib;

// Largest distance in mm between an output edge made of chords and the true
// curved edge, as the flattening aims at it. Rounding each point to the grid
// adds up to 0.00007 mm, and so may a crossing point that Clipper rounds; the
// rest is room for the estimates of SagittaAllowance: measured on Latin and
// Japanese faces, the output stays within 0.005 mm.
constexpr double EdgeTolerance = 0.0045;
// Chords run inside a curve. Points between them are moved out by two
// thirds of the chords' sagitta, so that the chords straddle the curve: the
// error is then two thirds of the sagitta either way and the regions keep
// their area (inscribed polygons make every band thinner and every sliver
// between bands wider than the picture's). So the sagitta may be one and a
// half times the tolerance.
constexpr double SagittaAllowance = 1.5;
// The factor that moves a point on an arc out so, between chords that turn
// by `turn` there.
double Bulge(double turn) { return 1 + (1 - std::cos(turn / 2)) * 2 / 3; }
// How far a join may reach past a smooth edge where a corner is drawn smooth.
constexpr double SmoothSlack = 0.0002;
// Flat pieces turn by much less; a larger turn between them is a cusp.
constexpr double MaxStraddleTurn = 0.5;
// The most pieces a curve is cut into: enough for the tolerance on letters a
// metre tall, and a bound on the work and memory that an absurd font size
// (a settings file's size is taken as it is) could ask for.
constexpr int MaxPiecesPerCurve = 256;

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

// A bound of the turn of a Bezier's control polygon without trigonometry:
// the sum of the tangents of its legs' turns, each no less than its angle;
// infinite once a leg turns by a right angle or more.
double TurnBound(Vec p0, Vec c1, Vec c2, Vec p3) {
  const Vec legs[3] = {c1 - p0, c2 - c1, p3 - c2};
  double bound = 0;
  Vec prev;
  for (Vec leg : legs) {
    if (IsZero(leg)) continue;
    if (!IsZero(prev)) {
      const double dot = Dot(prev, leg), cross = std::fabs(Cross(prev, leg));
      if (dot <= 0) return HUGE_VAL;
      bound += cross / dot;
    }
    prev = leg;
  }
  return bound;
}

// A piece is flat enough when its chord's sagitta is within `allowance`
// times the tolerance (the curve stays within 3/4 of the control points'
// distance from the chord's line), and so is the stroke's outer edge's,
// which runs through offset points on the curve's normals: its chord falls
// short of the offset curve by the half width times 1 - cos of half the
// turn more, which is less than the half width times the square of the turn
// over 8.
bool FlatEnough(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol, double allowance) {
  const Vec chord = Unit(p3 - p0);
  const double off = IsZero(chord) ? std::sqrt(std::max(Dot(c1 - p0, c1 - p0), Dot(c2 - p0, c2 - p0)))
                                   : std::max(std::fabs(Cross(chord, c1 - p0)), std::fabs(Cross(chord, c2 - p0)));
  const double flat = 0.75 * off;
  if (flat > allowance * tol.error) return false;
  if (tol.halfWidth == 0) return true;
  const double turn = TurnBound(p0, c1, c2, p3);
  return flat + tol.halfWidth * turn * turn / 8 <= allowance * tol.error;
}

// Appends the points of a flattened piece after p0, p3 last, halving it
// until it is flat enough, `depth` times at most. A whole curve as one chord
// has no point to move out: its sagitta must be within the tolerance itself.
void FlattenPiece(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol, int depth, std::vector<Vertex>& out,
                  bool whole = false) {
  if (depth > 0 && !FlatEnough(p0, c1, c2, p3, tol, whole ? 1 : SagittaAllowance)) {
    const Vec a = Mid(p0, c1), b = Mid(c1, c2), c = Mid(c2, p3);
    const Vec ab = Mid(a, b), bc = Mid(b, c), m = Mid(ab, bc);
    FlattenPiece(p0, a, ab, m, tol, depth - 1, out);
    FlattenPiece(m, bc, c, p3, tol, depth - 1, out);
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
  const double n = std::sqrt((bend + tol.halfWidth * turn * turn / 8) / (SagittaAllowance * tol.error));
  return static_cast<int>(std::clamp(std::ceil(n), 1.0, static_cast<double>(MaxPiecesPerCurve)));
}

// Appends the points of a flattened cubic after p0, p3 last.
void Flatten(Vec p0, Vec c1, Vec c2, Vec p3, const Tolerance& tol, std::vector<Vertex>& out) {
  const int n = PieceCount(p0, c1, c2, p3, tol);
  int depth = 0;  // halvings that keep the curve within MaxPiecesPerCurve
  while ((n << (depth + 1)) <= MaxPiecesPerCurve) ++depth;
  if (n == 1) return FlattenPiece(p0, c1, c2, p3, tol, depth, out, true);
  // The curve as a polynomial: B(t) = p0 + t (k1 + t (k2 + t k3)).
  const Vec k1 = (c1 - p0) * 3, k2 = (p0 - c1 * 2 + c2) * 3, k3 = p3 - p0 + (c1 - c2) * 3;
  auto at = [&](double t) { return p0 + (k1 + (k2 + k3 * t) * t) * t; };
  auto slope = [&](double t) { return k1 + (k2 * 2 + k3 * (3 * t)) * t; };
  const double h = 1.0 / n;
  Vec a = p0, da = k1 * (h / 3);
  for (int i = 1; i <= n; ++i) {
    const double t = i * h;
    const Vec b = i == n ? p3 : at(t), db = slope(t) * (h / 3);
    FlattenPiece(a, a + da, b - db, b, tol, depth, out);
    a = b;
    da = db;
  }
}

// Collects subpaths the way an SVG renderer reads the document's path data:
// after a close the next subpath starts where the closed one did.
class SubpathBuilder {
 public:
  // `storage` lends its memory to the first subpath.
  SubpathBuilder(Tolerance tol, std::vector<Vertex> storage) : tol_(tol) {
    storage.clear();
    cur_.v = std::move(storage);
  }

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
    if (cur_.v.empty()) return;
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

// A subpath as the document's path data gives it, before flattening: where
// it starts (a move, or the start of the closed subpath before it), its
// drawing elements and the extent of all their points, which holds the curves.
struct Element {
  bool cubic = false;
  Vec c1, c2, p;
};
struct RawSubpath {
  bool hasStart = false;
  Vec start;
  std::vector<Element> elements;
  bool closed = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  void Extend(Vec q) {
    if (!hasStart && elements.empty()) x0 = x1 = q.x, y0 = y1 = q.y;
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
  }
};

// Splits the path into subpaths the way an SVG renderer reads the document:
// after a close the next subpath starts where the closed one did, a
// truncated Bezier run is not drawn.
std::vector<RawSubpath> ReadOutline(const TPath& path, const PageMap& map) {
  std::vector<RawSubpath> out;
  RawSubpath cur;
  Vec restart;
  bool restartPending = false;
  auto end = [&] {
    if (!cur.elements.empty()) out.push_back(std::move(cur));
    cur = {};
  };
  auto begin = [&] {  // before an element
    if (cur.hasStart || !cur.elements.empty() || !restartPending) return;
    cur.Extend(restart);
    cur.hasStart = true;
    cur.start = restart;
  };
  for (int32_t i = 0; i < path.Count(); ++i) {
    PathPoint p = path.GetPoint(i);
    switch (p.Kind) {
      case pkMoveTo:
        end();
        restartPending = false;
        cur.Extend(map(p));
        cur.hasStart = true;
        cur.start = map(p);
        break;
      case pkLineTo:
        begin();
        cur.Extend(map(p));
        cur.elements.push_back({false, {}, {}, map(p)});
        break;
      case pkBezierTo: {
        if (i + 2 >= path.Count()) {
          end();
          return out;
        }
        begin();
        const PathPoint c2 = path.GetPoint(i + 1), e = path.GetPoint(i + 2);
        for (Vec q : {map(p), map(c2), map(e)}) cur.Extend(q);
        cur.elements.push_back({true, map(p), map(c2), map(e)});
        p = e;
        i += 2;
        break;
      }
    }
    if (p.CloseFigure && (cur.hasStart || !cur.elements.empty())) {
      const Element& first = cur.elements.empty() ? Element{} : cur.elements.front();
      restart = cur.hasStart ? cur.start : first.cubic ? first.c1 : first.p;
      cur.closed = true;
      end();
      restartPending = true;
    }
  }
  end();
  return out;
}

// Moves the points inside flattened curves out by two thirds of the sagitta
// of their chords (see SagittaAllowance), estimated from the turn there as
// on a circle: half the mean chord times the tangent of a quarter turn.
void Straddle(Subpath& sp) {
  const size_t n = sp.v.size();
  // Points move in place once read; the first point of a closed subpath,
  // read again last, is a corner and stays.
  Vec prev = sp.v[n - 1].p;
  for (size_t k = 0; k < n; ++k) {
    const Vec here = sp.v[k].p;
    const Vec a = here - prev, b = sp.v[(k + 1) % n].p - here;
    prev = here;
    if (sp.v[k].corner || (!sp.closed && (k == 0 || k + 1 == n))) continue;
    const double la = Length(a), lb = Length(b);
    if (la == 0 || lb == 0) continue;
    const Vec ta = a * (1 / la), tb = b * (1 / lb);
    const double turn = std::atan2(std::fabs(Cross(ta, tb)), Dot(ta, tb));
    if (turn > MaxStraddleTurn) continue;  // a cusp: no arc of a circle
    const double sagitta = (la + lb) / 4 * std::tan(turn / 4);
    sp.v[k].p = here + Unit(ta - tb) * (sagitta * 2 / 3);  // away from the centre of the turn
  }
}

// The flattened subpath, when it draws anything.
bool Flattened(const RawSubpath& raw, Tolerance tol, Subpath& out) {
  SubpathBuilder b(tol, std::move(out.v));
  if (raw.hasStart) b.Move(raw.start);
  for (const Element& e : raw.elements) e.cubic ? b.Cubic(e.c1, e.c2, e.p) : b.Line(e.p);
  if (raw.closed) b.Close();
  std::vector<Subpath> done = b.Finish();
  if (done.empty()) return false;
  out = std::move(done.front());
  Straddle(out);
  return true;
}

// Clipper sweeps its scan lines across y, and each line meets every edge it
// crosses; a line of text crossed along x meets a glyph or two, across y all
// of them. So x and y trade places on the grid.
// A coordinate in grid units, held within Clipper's range: only a settings
// file's absurd font size gets near it.
CL::cInt GridUnits(double mm) {
  constexpr double Limit = 1e18;
  const double units = std::clamp(mm * CutUnitsPerMm, -Limit, Limit);
  if (std::isnan(units)) return 0;
  return static_cast<CL::cInt>(units < 0 ? units - 0.5 : units + 0.5);  // halves away from zero, as llround
}
CL::IntPoint ToGrid(Vec p) { return {GridUnits(p.y), GridUnits(p.x)}; }

// Paths handed out again and again, their storage kept: a group's edges are
// made and welded, then the next group's reuse the same memory.
class PathPool {
 public:
  CL::Path& Next() {
    if (used_ == paths_.size()) paths_.emplace_back();
    CL::Path& p = paths_[used_++];
    p.clear();
    return p;
  }
  void Clear() { used_ = 0; }
  const CL::Path* begin() const { return paths_.data(); }
  const CL::Path* end() const { return paths_.data() + used_; }
  CL::Path* begin() { return paths_.data(); }
  CL::Path* end() { return paths_.data() + used_; }
  size_t size() const { return used_; }

 private:
  std::vector<CL::Path> paths_;
  size_t used_ = 0;
};

void FillPolygon(const Subpath& sp, CL::Path& poly) {
  for (const Vertex& v : sp.v) {
    const CL::IntPoint q = ToGrid(v.p);
    if (poly.empty() || !(poly.back() == q)) poly.push_back(q);
  }
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
        step_(2 * std::acos(std::max(0.0, 1 - SagittaAllowance * EdgeTolerance / halfWidth))),
        cosStep_(std::cos(step_)),
        smoothDot_(2 * (halfWidth / (halfWidth + SmoothSlack)) * (halfWidth / (halfWidth + SmoothSlack)) - 1) {}

  void Add(const Subpath& sp, PathPool& out) {
    Chords(sp);
    const size_t n = sp.v.size();
    if (sp.closed) {
      for (int side : {1, -1}) {
        edge_ = &out.Next();
        for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, side);
        if (side < 0) std::reverse(edge_->begin(), edge_->end());
      }
      return;
    }
    // An open subpath: one edge out along one side, back along the other;
    // its ends are the butt caps.
    CL::Path& forward = out.Next();
    edge_ = &forward;
    for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, 1);
    back_.clear();
    edge_ = &back_;
    for (size_t k = 0; k < n; ++k) EmitVertex(sp, k, -1);
    forward.insert(forward.end(), back_.rbegin(), back_.rend());
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
      const double bulge = Bulge(psi / pieces);
      for (int i = 1; i < pieces; ++i) Push(p + Rotate(Offset(a.t, side), psi * i / pieces) * bulge);
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
    if (dot >= cosStep_) {
      // cos(turn / 2) is the bisector's length over 2.
      const Vec bisector = Normal(a) + Normal(b);
      const double bulge = 1 + (1 - Length(bisector) / 2) * 2 / 3;
      return Push(p + Unit(bisector) * (side * d_ * bulge));
    }
    const double psi = std::atan2(cross, dot);
    const int pieces = static_cast<int>(std::ceil(std::fabs(psi) / step_));
    const double bulge = Bulge(psi / pieces);
    for (int i = 0; i < pieces; ++i) Push(p + Rotate(Offset(a, side), psi * (i + 0.5) / pieces) * bulge);
  }

  void Push(Vec p) {
    const CL::IntPoint q = ToGrid(p);
    if (edge_->empty() || !(edge_->back() == q)) edge_->push_back(q);
  }

  double d_;
  int join_;
  double limit_;
  double step_, cosStep_;  // the turn of a chord of an arc within the tolerance
  double smoothDot_;       // the cosine of the largest turn of a smooth corner
  std::vector<Dir> chords_;
  CL::Path* edge_ = nullptr;  // the edge being written
  CL::Path back_;             // the way back of an open subpath
};

// Back from the grid's swapped axes; reversed, so that an outer contour
// that Clipper winds positively does so on the page too.
// A contour on the page from one on the grid, whose axes may be swapped
// (see SweepAcross), reversed when asked: a swap mirrors, so it reverses too.
CutContour ToContour(const CL::Path& p, bool swapped, bool reversed = false) {
  CutContour c(p.size());
  auto page = [swapped](const CL::IntPoint& q) { return swapped ? CutPoint{q.Y, q.X} : CutPoint{q.X, q.Y}; };
  if (swapped == reversed) {
    std::transform(p.begin(), p.end(), c.begin(), page);
  } else {
    std::transform(p.rbegin(), p.rend(), c.begin(), page);
  }
  return c;
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
  explicit FillSet(const PathPool& p) : polys(p) {
    for (const CL::Path& poly : p) {
      Bounds b{INT64_MAX, INT64_MIN, INT64_MIN};
      for (const CL::IntPoint& q : poly) b = {std::min(b.y0, q.Y), std::max(b.y1, q.Y), std::max(b.x1, q.X)};
      bounds.push_back(b);
    }
  }
  struct Bounds {
    CL::cInt y0, y1, x1;
  };
  const PathPool& polys;
  std::vector<Bounds> bounds;
};

// Clipper's scan lines run across its y axis; each meets the edges that
// cross it, and each is walked along all of them. The grid swaps the page's
// axes for a line of text (see ToGrid); a group whose edges cross lines of
// the other direction less often (a kanji of many horizontal strokes, a
// group one glyph wide) is swapped back. The measure: the edges' extent
// along an axis over the group's. Returns whether the swap was undone.
bool SweepAcross(const PathPool& measured, PathPool& fills, PathPool& bands) {
  double alongX = 0, alongY = 0;
  CL::cInt x0 = INT64_MAX, x1 = INT64_MIN, y0 = INT64_MAX, y1 = INT64_MIN;
  for (const CL::Path& p : measured)
    for (size_t i = 0, n = p.size(), j = n - 1; i < n; j = i++) {
      alongX += static_cast<double>(std::llabs(p[i].X - p[j].X));
      alongY += static_cast<double>(std::llabs(p[i].Y - p[j].Y));
      x0 = std::min(x0, p[i].X), x1 = std::max(x1, p[i].X), y0 = std::min(y0, p[i].Y), y1 = std::max(y1, p[i].Y);
    }
  if (x1 <= x0 || y1 <= y0 || alongX / static_cast<double>(x1 - x0) >= alongY / static_cast<double>(y1 - y0))
    return false;
  for (PathPool* pool : {&fills, &bands})
    for (CL::Path& p : *pool)
      for (CL::IntPoint& q : p) std::swap(q.X, q.Y);
  return true;
}

// The winding number of a polygon around p.
int Winding(CL::IntPoint p, const CL::Path& poly) {
  int w = 0;
  for (size_t i = 0, n = poly.size(), j = n - 1; i < n; j = i++) {
    const CL::IntPoint a = poly[j], b = poly[i];
    if ((a.Y <= p.Y) == (b.Y <= p.Y)) continue;
    const __int128 side =
        static_cast<__int128>(b.X - a.X) * (p.Y - a.Y) - static_cast<__int128>(p.X - a.X) * (b.Y - a.Y);
    if (a.Y <= p.Y && side > 0) ++w;
    if (a.Y > p.Y && side < 0) --w;
  }
  return w;
}

// The winding number of the fill polygons around p.
int Winding(CL::IntPoint p, const FillSet& fills) {
  int w = 0;
  for (size_t k = 0; k < fills.polys.size(); ++k) {
    const FillSet::Bounds& b = fills.bounds[k];
    if (p.Y < b.y0 || p.Y > b.y1 || p.X > b.x1) continue;
    w += Winding(p, fills.polys.begin()[k]);
  }
  return w;
}

// Whether a hole of the band lies in the fill. The fill's edges all lie under
// the band, so a hole is wholly in the fill or wholly out of it; its own
// vertices vote, since one may lie on a bevel that passes close to an edge.
bool InFill(const CL::Path& hole, const FillSet& fills) {
  const size_t samples = std::min<size_t>(3, hole.size());
  size_t in = 0, out = 0;
  for (size_t k = 0; k < samples && 2 * in <= samples && 2 * out <= samples; ++k)
    ++(Winding(hole[k * hole.size() / samples], fills) != 0 ? in : out);
  return 2 * in > samples;
}

// The regions of one group, bottom layer first: contours, or for the SVG
// document the text of their path data, written by the thread that welded
// them.
class GroupLayers {
 public:
  explicit GroupLayers(bool asText = false) : asText_(asText) {}

  // Adds a contour of the grid, whose axes may be swapped (see SweepAcross),
  // reversed when asked.
  void Add(size_t layer, const CL::Path& p, bool swapped, bool reversed = false) {
    if (!asText_) return contours[layer].push_back(ToContour(p, swapped, reversed));
    // As PathElement writes a contour: "M x y L x y x y ... z".
    std::string& out = text[layer];
    const size_t start = out.size();
    out.resize(start + 3 + p.size() * (2 * MaxMillimetresChars + 3));
    char* at = out.data() + start;
    for (size_t i = 0; i < p.size(); ++i) {
      const CL::IntPoint& q = p[swapped == reversed ? i : p.size() - 1 - i];
      if (i < 2) *at++ = i == 0 ? 'M' : 'L';
      at = WriteMillimetres(at, swapped ? q.Y : q.X);
      *at++ = ' ';
      at = WriteMillimetres(at, swapped ? q.X : q.Y);
      *at++ = ' ';
    }
    at = std::copy_n("z\r\n", 3, at);
    out.resize(static_cast<size_t>(at - out.data()));
  }

  std::array<std::vector<CutContour>, 2> contours;
  std::array<std::string, 2> text;

 private:
  bool asText_;
};

// Regions made of the band's regions: every region between band contours is
// the band, a hole in the fill, or a hole outside it. A contour is written
// where the layer's region changes, wound as an outer where it begins.
class LayerSplitter {
 public:
  LayerSplitter(const FillSet& fills, bool swapped, GroupLayers& out, bool withTop)
      : fills_(fills), swapped_(swapped), out_(out), withTop_(withTop) {}

  void Walk(const CL::PolyNode& node, bool parentBottom = false, bool parentTop = false) {
    const bool holeInFill = node.IsHole() && InFill(node.Contour, fills_);
    const bool inBottom = !node.IsHole() || holeInFill;  // the fill and the band
    const bool inTop = holeInFill;                       // the fill less the band
    if (inBottom != parentBottom) Write(node.Contour, inBottom, 0);
    if (withTop_ && inTop != parentTop) Write(node.Contour, inTop, 1);
    for (const CL::PolyNode* child : node.Childs) Walk(*child, inBottom, inTop);
  }

 private:
  void Write(const CL::Path& contour, bool outer, size_t layer) const {
    out_.Add(layer, contour, swapped_, CL::Orientation(contour) != outer);
  }

  const FillSet& fills_;
  bool swapped_;
  GroupLayers& out_;
  bool withTop_;
};

// The regions of one group, a list of contours a layer, bottom first.
// Welds one group's fill polygons and stroke bands into the layers' regions.
void Weld(const PathPool& fills, const PathPool& bands, bool swapped, Stack stack, bool bandCoversEdges, CL::Clipper& c,
          GroupLayers& layers) {
  auto add = [&](const PathPool& paths, CL::PolyType role) {
    for (const CL::Path& p : paths) c.AddPath(p, role, true);
  };
  auto append = [&](size_t layer, const CL::Paths& paths) {
    for (const CL::Path& p : paths) layers.Add(layer, p, swapped);
  };
  // Unites polygons filled by the nonzero rule, as the document's path
  // element is; the result has no crossings, and holes wind against their
  // outers. Contours may touch at a vertex: that changes neither fill
  // rule's picture nor a cut, and keeping them apart (StrictlySimple) costs
  // a fifth more time.
  auto unite = [&](const PathPool& paths) {
    c.Clear();
    add(paths, CL::ptSubject);
    CL::Paths out;
    c.Execute(CL::ctUnion, out, CL::pftNonZero, CL::pftNonZero);
    return out;
  };
  if (stack == Stack::Fill) return append(0, unite(fills));
  if (!bandCoversEdges) {
    // A hairline stroke: the fill's edges may show beside the band.
    c.Clear();
    add(fills, CL::ptSubject);
    add(bands, CL::ptClip);
    CL::Paths bottom, top;
    c.Execute(CL::ctUnion, bottom, CL::pftNonZero, CL::pftNonZero);
    if (stack == Stack::Both) c.Execute(CL::ctDifference, top, CL::pftNonZero, CL::pftNonZero);
    append(0, bottom);
    return append(1, stack == Stack::Both ? top : unite(fills));
  }
  if (stack == Stack::Outline) return append(0, unite(bands));
  c.Clear();
  add(bands, CL::ptSubject);
  CL::PolyTree tree;
  c.Execute(CL::ctUnion, tree, CL::pftNonZero, CL::pftNonZero);
  const FillSet fillSet(fills);
  const bool both = stack == Stack::Both;
  LayerSplitter(fillSet, swapped, layers, both).Walk(tree);
  if (!both) append(1, unite(fills));
}

// Subpaths in groups whose extents, widened by `reach` (how far the stroke
// goes from the path), overlap one another, transitively. Groups share no
// point, so each is welded on its own: a scan line then crosses only its
// group's edges. Groups come in the order of their left edges.
std::vector<std::vector<size_t>> Groups(const std::vector<RawSubpath>& subpaths, double reach) {
  struct Box {
    double x0, y0, x1, y1;
  };
  std::vector<Box> boxes;
  const double m = reach + 1 / CutUnitsPerMm;
  for (const RawSubpath& sp : subpaths) boxes.push_back({sp.x0 - m, sp.y0 - m, sp.x1 + m, sp.y1 + m});
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

// Runs work(i, t) for i in [0, n) on up to `threads` threads, t being the
// thread's number; the first exception thrown is thrown here once all have
// stopped. Without a thread to spare, this one does it all.
template <class Work>
void RunParallel(size_t n, size_t threads, const Work& work) {
  std::atomic<size_t> next{0};
  std::exception_ptr error;
  std::mutex errorLock;
  auto run = [&](size_t t) {
    try {
      for (size_t i; (i = next.fetch_add(1)) < n;) work(i, t);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(errorLock);
      if (!error) error = std::current_exception();
      next = n;
    }
  };
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(run, t);
    } catch (const std::system_error&) {
      break;
    }
  }
  run(0);
  for (std::thread& t : helpers) t.join();
  if (error) std::rethrow_exception(error);
}

// Fewer drawing elements than this are welded faster than a thread starts.
constexpr size_t ElementsPerThread = 1000;

int JoinIndex(int join) { return join >= 0 && join <= 2 ? join : 1; }  // none selected draws round

}  // namespace

CutPage PageSize(int32_t width, int32_t height, const ConversionSettings& s) {
  const PageMap m(s);
  return {width * 25.4 * m.q / m.resolution + m.r * 3, height * 25.4 * m.q / m.resolution + m.r * 3};
}

namespace {

// The text of a layer's path data, a piece a group in the order of the
// groups, as the threads that welded them wrote it.
using LayerTexts = std::vector<std::vector<std::string>>;

// The layers of BuildCutLayers; with `texts`, their contours are not kept
// but written, each layer's as the path data of the SVG document.
std::vector<CutLayer> Build(const TPath& path, const ConversionSettings& s, LayerTexts* texts) {
  const PageMap map(s);
  const double halfWidth = map.r / 2;
  const bool stroked = halfWidth > 0, filled = !s.TransparentFill;
  const int join = JoinIndex(s.LineJoin);
  const int limit = std::max(1, s.MiterLimit);  // under 1 is no valid SVG value; 1 is the nearest
  Tolerance tol;
  if (stroked) tol.halfWidth = halfWidth;
  const std::vector<RawSubpath> subpaths = ReadOutline(path, map);

  std::vector<CutLayer> layers;
  if (stroked) layers.push_back({"outline", s.StrokeColor, {}});
  if (filled) layers.push_back({"fill", s.Font.Color, {}});
  const Stack stack = !stroked ? Stack::Fill : !filled ? Stack::Outline : s.Fukuromoji ? Stack::TwoLayer : Stack::Both;
  // The fill's edges run inside the band unless the band is within the
  // tolerances of a line.
  const bool bandCoversEdges = halfWidth > 4 * EdgeTolerance;
  const double reach = stroked ? halfWidth * (join == 0 ? limit : 1) : 0;
  const std::vector<std::vector<size_t>> groups = Groups(subpaths, reach);

  // Groups share no point, so they are welded side by side, each thread
  // with its own band writer and Clipper.
  size_t elements = 0;
  for (const RawSubpath& sp : subpaths) elements += sp.elements.size();
  const size_t threads =
      std::clamp<size_t>(std::min<size_t>(std::thread::hardware_concurrency(), elements / ElementsPerThread), 1,
                         std::max<size_t>(groups.size(), 1));
  std::vector<GroupLayers> welded(groups.size(), GroupLayers(texts != nullptr));
  struct Worker {
    BandWriter band;
    CL::Clipper clipper;
    PathPool fills, bands;
    Subpath sp;
  };
  std::vector<std::unique_ptr<Worker>> workers;
  for (size_t t = 0; t < threads; ++t)
    workers.push_back(std::make_unique<Worker>(BandWriter(stroked ? halfWidth : 1, join, limit)));
  // The largest groups first, so that no thread is left with one at the end.
  std::vector<size_t> order(groups.size()), work(groups.size(), 0);
  for (size_t g = 0; g < groups.size(); ++g) {
    order[g] = g;
    for (size_t i : groups[g]) work[g] += subpaths[i].elements.size();
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return work[a] > work[b]; });
  RunParallel(groups.size(), threads, [&](size_t next, size_t t) {
    const size_t g = order[next];
    Worker& mine = *workers[t];
    mine.fills.Clear();
    mine.bands.Clear();
    for (size_t i : groups[g]) {
      if (!Flattened(subpaths[i], tol, mine.sp)) continue;
      if (filled) FillPolygon(mine.sp, mine.fills.Next());
      if (stroked) mine.band.Add(mine.sp, mine.bands);
    }
    const bool swapped = !SweepAcross(mine.bands.size() ? mine.bands : mine.fills, mine.fills, mine.bands);
    Weld(mine.fills, mine.bands, swapped, stack, bandCoversEdges, mine.clipper, welded[g]);
  });
  if (texts) {
    texts->assign(layers.size(), {});
    for (size_t k = 0; k < layers.size(); ++k)
      for (GroupLayers& group : welded)
        if (!group.text[k].empty()) (*texts)[k].push_back(std::move(group.text[k]));
    for (size_t k = layers.size(); k-- > 0;) {
      if (!(*texts)[k].empty()) continue;
      layers.erase(layers.begin() + static_cast<std::ptrdiff_t>(k));
      texts->erase(texts->begin() + static_cast<std::ptrdiff_t>(k));
    }
    return layers;
  }
  for (GroupLayers& group : welded)
    for (size_t k = 0; k < layers.size(); ++k)
      std::move(group.contours[k].begin(), group.contours[k].end(), std::back_inserter(layers[k].Contours));
  std::erase_if(layers, [](const CutLayer& l) { return l.Contours.empty(); });
  return layers;
}

}  // namespace

std::vector<CutLayer> BuildCutLayers(const TPath& path, const ConversionSettings& s) { return Build(path, s, nullptr); }

char* WriteMillimetres(char* at, int64_t units) { return WriteTenThousandths(at, units); }

void AppendMillimetres(std::string& out, int64_t units) {
  char buf[MaxMillimetresChars];
  out.append(buf, WriteMillimetres(buf, units));
}

namespace {

// Hands the document on in pieces of about kPiece bytes: the groups' texts
// are small, and each piece may cost the sink a system call.
class PieceWriter {
 public:
  static constexpr size_t kPiece = 64 * 1024;

  explicit PieceWriter(ByteSink& out) : out_(out) { buffer_.reserve(kPiece); }

  void Put(std::string_view text) {
    if (buffer_.size() + text.size() > kPiece) Flush();
    if (text.size() >= kPiece) return out_.Write(text);
    buffer_.append(text);
  }
  void Flush() {
    if (!buffer_.empty()) out_.Write(buffer_);
    buffer_.clear();
  }

 private:
  ByteSink& out_;
  std::string buffer_;
};

// One filled path element a layer; its path data comes written by the
// threads that welded the regions, the last line break cut.
void PathElement(const CutLayer& layer, const std::vector<std::string>& data, PieceWriter& out) {
  out.Put("<path id=\"" + layer.Role + "\" style=\"fill:" + ColorToHtml(layer.Color) + "; stroke:none\" d=\"");
  for (size_t g = 0; g < data.size(); ++g) {
    std::string_view piece = data[g];
    if (g + 1 == data.size())
      while (!piece.empty() && static_cast<unsigned char>(piece.back()) <= 32) piece.remove_suffix(1);
    out.Put(piece);
  }
  out.Put("\"/>\r\n");
}

}  // namespace

void WriteCutSvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s,
                         ByteSink& sink) {
  const CutPage page = PageSize(width, height, s);
  // The regions are welded before the first byte goes out: a failure there
  // leaves the sink untouched.
  LayerTexts data;
  const std::vector<CutLayer> layers = Build(path, s, &data);
  const std::string w = FormatNumber(page.Width), h = FormatNumber(page.Height);
  PieceWriter out(sink);
  out.Put("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n");
  out.Put("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "mm\" height=\"" + h + "mm\" viewBox=\"0 0 " + w +
          " " + h + "\">\r\n");
  for (size_t k = 0; k < layers.size(); ++k) PathElement(layers[k], data[k], out);
  out.Put("</svg>\r\n");
  out.Flush();
}

}  // namespace glyphor
