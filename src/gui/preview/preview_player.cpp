// SPDX-License-Identifier: MIT
#include "gui/preview/preview_player.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

#include <QPainterPath>

#include "core/output/emf_reader.h"

namespace glyphor {
namespace {

// The player's own refusals beside the reader's.
struct Malformed {
  std::string What;
};

struct PenObject {
  bool Null = false;
  bool Geometric = false;  // cosmetic pens are one pixel wide whatever the transform
  uint32_t Style = 0;      // PS_* word
  double Width = 0;        // logical units
  QColor Color = Qt::black;
};

struct BrushObject {
  bool Null = false;
  QColor Color = Qt::white;
};

struct GdiObject {
  enum class Kind { Empty, Pen, Brush } Kind = Kind::Empty;
  PenObject Pen;
  BrushObject Brush;
};

QColor FromColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

Qt::PenStyle DashStyle(uint32_t style) {
  switch (style & PS_STYLE_MASK) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
  }
}

Qt::PenCapStyle CapStyle(uint32_t style) {
  switch (style & PS_ENDCAP_MASK) {
    case PS_ENDCAP_SQUARE: return Qt::SquareCap;
    case PS_ENDCAP_FLAT: return Qt::FlatCap;
    default: return Qt::RoundCap;
  }
}

Qt::PenJoinStyle JoinStyle(uint32_t style) {
  switch (style & PS_JOIN_MASK) {
    case PS_JOIN_BEVEL: return Qt::BevelJoin;
    // Qt's plain miter join cuts a too long miter at the limit; the platform
    // bevels it, as SVG does.
    case PS_JOIN_MITER: return Qt::SvgMiterJoin;
    default: return Qt::RoundJoin;
  }
}

// One fill, or fill and stroke, of a recorded path: kept until the whole
// metafile has been checked, then drawn.
struct Drawing {
  QPainterPath Path;
  QPen Pen;
  QBrush Brush;
  double Reach = 0;  // how far the ink may lie beyond the path's control points
  QRectF Bounds;     // the control points' bounds
  // The figures (subpaths) and how far across each reaches, once split.
  std::vector<QPainterPath> Figures;
  std::vector<std::pair<double, double>> Spans;
};

// Qt's rasterizers slow down more than in proportion to the width of what
// they draw: the antialiasing one walks the whole outline once for every band
// of rows, and splits the bands thinner while a row holds more cells than its
// pool; the aliased one keeps the crossings of each row in a search tree that
// a line of text, fed from left to right, turns into a list. A line some
// thousand pixels wide then takes a second. Drawn in columns, each with the
// figures that reach into it, it takes milliseconds, and every pixel comes
// out as before (the columns share no pixel, and a figure that does not reach
// a column adds nothing to it). Narrow columns cost least as long as few
// figures are drawn in two: a column is about three figures wide, and ends in
// a gap between figures where there is one near that.
constexpr double kAtOnceWidth = 1024;  // narrower drawings are drawn whole
constexpr double kMinColumnWidth = 128, kMaxColumnWidth = 1024;

std::vector<QPainterPath> SplitFigures(const QPainterPath& path) {
  std::vector<QPainterPath> figures;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.isMoveTo() || figures.empty()) {
      figures.emplace_back(QPointF(e));
    } else if (e.isLineTo()) {
      figures.back().lineTo(e);
    } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
      figures.back().cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
      i += 2;
    }
  }
  return figures;
}

void SplitIntoFigures(Drawing& d) {
  if (!d.Figures.empty() || d.Path.isEmpty()) return;
  d.Figures = SplitFigures(d.Path);
  for (const QPainterPath& f : d.Figures) {
    const QRectF box = f.controlPointRect();
    d.Spans.emplace_back(box.left() - d.Reach, box.right() + d.Reach);
  }
}

int ColumnWidth(const Drawing& d) {
  if (d.Spans.empty()) return int(kMinColumnWidth);
  std::vector<double> widths;
  for (const auto& [left, right] : d.Spans) widths.push_back(right - left);
  std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
  return int(std::clamp(3 * widths[widths.size() / 2], kMinColumnWidth, kMaxColumnWidth));
}

// Whole x positions that no figure's span reaches, one for each gap, in order.
std::vector<int> Gaps(const Drawing& d) {
  std::vector<std::pair<double, double>> spans = d.Spans;
  std::sort(spans.begin(), spans.end());
  std::vector<int> gaps;
  for (size_t i = 1; i < spans.size(); ++i) {
    const double covered = spans[i - 1].second;
    const double cut = std::floor(covered) + 1;
    if (cut < spans[i].first && std::fabs(cut) < 1e9) gaps.push_back(int(cut));
    spans[i].second = std::max(spans[i].second, covered);
  }
  return gaps;
}

// Column edges from `first` to `last`: about every `width` pixels, at the gap
// nearest to that between half a column and three columns on.
std::vector<int> ColumnEdges(const std::vector<int>& gaps, int width, int first, int last) {
  std::vector<int> edges{first};
  auto gap = gaps.begin();
  while (edges.back() < last) {
    const int x = edges.back(), want = x + width;
    gap = std::lower_bound(gap, gaps.end(), x + width / 2);
    int next = want;
    for (auto g = gap; g != gaps.end() && *g <= x + 3 * width; ++g)
      if (next == want || std::abs(*g - want) < std::abs(next - want)) next = *g;
    edges.push_back(std::min(next, last));
  }
  return edges;
}

// Draws the columns of `d` that meet x from `from` to `to` and y from `top`
// down `height` rows, with the painter's pen and brush; the painter maps its
// coordinates to the device's pixels unchanged or moved by whole pixels.
void DrawInColumns(QPainter& painter, Drawing& d, int from, int to, int top, int height) {
  SplitIntoFigures(d);
  const int first = int(std::clamp(std::floor(d.Bounds.left() - d.Reach), double(from), double(to)));
  const int last = int(std::clamp(std::ceil(d.Bounds.right() + d.Reach), double(from), double(to)));
  const std::vector<int> edges = ColumnEdges(Gaps(d), ColumnWidth(d), first, last);
  const Qt::ClipOperation clip = painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip;
  for (size_t c = 0; c + 1 < edges.size(); ++c) {
    const int x0 = edges[c], x1 = edges[c + 1];
    QPainterPath part;
    part.setFillRule(d.Path.fillRule());
    for (size_t i = 0; i < d.Figures.size(); ++i)
      if (d.Spans[i].second >= x0 && d.Spans[i].first <= x1) part.addPath(d.Figures[i]);
    if (part.isEmpty()) continue;
    painter.save();
    painter.setClipRect(QRect(x0, top, x1 - x0, height), clip);
    painter.drawPath(part);
    painter.restore();
  }
}

void DrawAll(QPainter& painter, std::vector<Drawing>& drawings) {
  const bool pixelSpace = painter.combinedTransform().type() == QTransform::TxNone;
  for (Drawing& d : drawings) {
    painter.setPen(d.Pen);
    painter.setBrush(d.Brush);
    if (!pixelSpace || d.Bounds.width() <= kAtOnceWidth)
      painter.drawPath(d.Path);
    else
      DrawInColumns(painter, d, 0, painter.device()->width(), 0, painter.device()->height());
  }
}

// Bands of the image, each with about as many of the figures' points, that
// two threads take in turn, each the next one free: a thread that the system
// holds back leaves the rest to the other. No band when the picture is too
// small to share.
constexpr int kBands = 8;

std::vector<int> BandEdges(std::vector<Drawing>& drawings, int width) {
  if (width < 2 * kAtOnceWidth) return {};
  std::vector<std::pair<double, int>> weights;  // a figure's middle and its points
  for (Drawing& d : drawings) {
    SplitIntoFigures(d);
    for (size_t i = 0; i < d.Figures.size(); ++i)
      weights.emplace_back((d.Spans[i].first + d.Spans[i].second) / 2, d.Figures[i].elementCount());
  }
  std::sort(weights.begin(), weights.end());
  int64_t total = 0, seen = 0;
  for (const auto& w : weights) total += w.second;
  std::vector<int> edges{0};
  for (const auto& [middle, points] : weights) {
    seen += points;
    const int x = int(std::clamp(std::round(middle), 0.0, double(width)));
    if (seen * kBands >= total * int64_t(edges.size()) && x > edges.back()) edges.push_back(x);
  }
  if (edges.back() < width) edges.push_back(width);
  return edges;
}

// Takes bands until none is left and draws all drawings into each, in order,
// through a painter of its own on the pixels of an image shaped as `image`.
void DrawBands(uchar* pixels, const QImage& image, std::vector<Drawing>& drawings, const std::vector<int>& edges,
               std::atomic<size_t>& next) {
  QImage view(pixels, image.width(), image.height(), image.bytesPerLine(), image.format());
  QPainter painter(&view);
  for (size_t band; (band = next++) + 1 < edges.size();) {
    painter.setClipRect(QRect(edges[band], 0, edges[band + 1] - edges[band], image.height()));
    for (Drawing& d : drawings) {
      painter.setPen(d.Pen);
      painter.setBrush(d.Brush);
      DrawInColumns(painter, d, edges[band], edges[band + 1], 0, image.height());
    }
  }
}

// Runs the records of one metafile, keeping what they draw, so that a
// malformed metafile is refused before anything is drawn.
class Interpreter {
 public:
  Interpreter(const std::vector<uint8_t>& emf, QRectF target) : data_(emf.data()), size_(emf.size()), target_(target) {}

  // Checks every record; throws Malformed or EmfFormatError for a metafile to
  // refuse. Returns what is to be drawn, in order.
  std::vector<Drawing> Run();

 private:
  void ReadHeader(const EmfRecord& r);
  void Dispatch(const EmfRecord& r);
  void SetMapMode(uint32_t mode);
  void CreatePen(const EmfRecord& r);
  void CreateExtPen(const EmfRecord& r);
  void CreateBrush(const EmfRecord& r);
  GdiObject& Slot(uint32_t index);
  void SelectObject(uint32_t index);
  void SelectStock(uint32_t index);
  void DeleteObject(uint32_t index);
  void MoveTo(int64_t x, int64_t y);
  void LineTo(int64_t x, int64_t y);
  void PolyBezierTo(const EmfRecord& r, bool sixteenBit);
  void StartFigure();
  void UsePath(bool stroke);
  QPointF Map(int64_t x, int64_t y) const;
  QPen MakePen() const;
  void Draw(const QPainterPath& path, const QPen& pen, const QBrush& brush);

  const uint8_t* data_;
  size_t size_;
  QRectF target_;
  std::vector<Drawing> drawings_;

  // Frame of the picture (0.01 mm) and the reference device, from the header.
  double frameLeft_ = 0, frameTop_ = 0, scaleX_ = 1, scaleY_ = 1;
  double deviceUnitX_ = 2540.0 / 96, deviceUnitY_ = 2540.0 / 96;
  // Logical units in 0.01 mm along x and y (y negative for upward modes).
  double unitX_ = 2540.0 / 96, unitY_ = 2540.0 / 96;
  int64_t originX_ = 0, originY_ = 0;

  std::vector<GdiObject> handles_;
  PenObject pen_;
  BrushObject brush_;
  double miterLimit_ = 10;  // the device context's default
  Qt::FillRule fillRule_ = Qt::OddEvenFill;

  int64_t curX_ = 0, curY_ = 0;
  QPainterPath path_;
  bool inPath_ = false, pathReady_ = false, figureOpen_ = false;
};

std::vector<Drawing> Interpreter::Run() {
  EmfReader reader(std::span<const uint8_t>(data_, size_));
  ReadHeader(reader.Header());
  EmfRecord r;
  while (reader.Next(r)) {
    if (r.Type() == EMR_EOF) break;
    try {
      Dispatch(r);
    } catch (const Malformed& m) {
      throw Malformed{m.What + " (record at byte " + std::to_string(reader.Offset()) + ")"};
    } catch (const EmfFormatError& e) {
      throw Malformed{std::string(e.what()) + " (record at byte " + std::to_string(reader.Offset()) + ")"};
    }
  }
  return std::move(drawings_);
}

void Interpreter::ReadHeader(const EmfRecord& r) {
  int64_t left = r.I32(EmfHeaderAt::Frame), top = r.I32(EmfHeaderAt::Frame + 4);
  int64_t right = r.I32(EmfHeaderAt::Frame + 8), bottom = r.I32(EmfHeaderAt::Frame + 12);
  if (right <= left || bottom <= top) throw Malformed{"empty frame"};
  frameLeft_ = double(left);
  frameTop_ = double(top);
  scaleX_ = target_.width() / double(right - left);
  scaleY_ = target_.height() / double(bottom - top);
  handles_.resize(r.U16(EmfHeaderAt::Handles));
  int32_t devX = r.I32(EmfHeaderAt::Device), devY = r.I32(EmfHeaderAt::Device + 4);
  int32_t mmX = r.I32(EmfHeaderAt::Millimeters), mmY = r.I32(EmfHeaderAt::Millimeters + 4);
  if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
    deviceUnitX_ = mmX * 100.0 / devX;
    deviceUnitY_ = mmY * 100.0 / devY;
  }
  SetMapMode(MM_TEXT);
}

void Interpreter::Dispatch(const EmfRecord& r) {
  switch (r.Type()) {
    case EMR_HEADER: throw Malformed{"second header record"};
    case EMR_SETMAPMODE: SetMapMode(r.U32(8)); break;
    case EMR_SETWINDOWORGEX:
      originX_ = r.I32(8);
      originY_ = r.I32(12);
      break;
    case EMR_SETPOLYFILLMODE: {
      uint32_t mode = r.U32(8);
      if (mode == ALTERNATE || mode == WINDING) fillRule_ = mode == WINDING ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    }
    case EMR_SETMITERLIMIT: {
      // Written as a float, as the platform's own header declares the field.
      float limit = r.F32(8);
      if (limit >= 1) miterLimit_ = std::min(double(limit), 1e6);  // NaN fails the test too
      break;
    }
    case EMR_CREATEPEN: CreatePen(r); break;
    case EMR_EXTCREATEPEN: CreateExtPen(r); break;
    case EMR_CREATEBRUSHINDIRECT: CreateBrush(r); break;
    case EMR_SELECTOBJECT: SelectObject(r.U32(8)); break;
    case EMR_DELETEOBJECT: DeleteObject(r.U32(8)); break;
    case EMR_MOVETOEX: MoveTo(r.I32(8), r.I32(12)); break;
    case EMR_LINETO: LineTo(r.I32(8), r.I32(12)); break;
    case EMR_POLYBEZIERTO: PolyBezierTo(r, false); break;
    case EMR_POLYBEZIERTO16: PolyBezierTo(r, true); break;
    case EMR_BEGINPATH:
      path_ = QPainterPath();
      inPath_ = true;
      pathReady_ = figureOpen_ = false;
      break;
    case EMR_ENDPATH:
      if (inPath_) pathReady_ = true;
      inPath_ = false;
      break;
    case EMR_CLOSEFIGURE:
      if (inPath_ && figureOpen_) path_.closeSubpath();
      figureOpen_ = false;
      break;
    case EMR_FILLPATH: UsePath(false); break;
    case EMR_STROKEANDFILLPATH: UsePath(true); break;
    default: break;  // state the picture never uses: skipped by its size
  }
}

void Interpreter::SetMapMode(uint32_t mode) {
  // 0.01 mm per logical unit of the fixed-scale modes; y grows upwards there.
  if (mode == MM_TEXT) {
    unitX_ = deviceUnitX_;
    unitY_ = deviceUnitY_;
  } else if (int64_t perInch = LogicalUnitsPerInch(mode); perInch > 0) {
    unitX_ = 2540.0 / double(perInch);
    unitY_ = -unitX_;
  } else {
    throw Malformed{"unsupported mapping mode " + std::to_string(mode)};
  }
}

GdiObject& Interpreter::Slot(uint32_t index) {
  if (index == 0 || index >= handles_.size()) throw Malformed{"bad object handle"};
  return handles_[index];
}

// EMR_CREATEPEN: an old-style pen; wider than nothing it is geometric with
// round caps and joins.
void Interpreter::CreatePen(const EmfRecord& r) {
  r.Require(28);
  GdiObject& o = Slot(r.U32(8));
  o = GdiObject{GdiObject::Kind::Pen, {}, {}};
  uint32_t style = r.U32(12);
  o.Pen.Null = (style & PS_STYLE_MASK) == PS_NULL;
  o.Pen.Style = style & PS_STYLE_MASK;
  o.Pen.Width = r.I32(16);
  o.Pen.Geometric = o.Pen.Width > 0;
  o.Pen.Color = FromColorRef(r.U32(24));
}

void Interpreter::CreateExtPen(const EmfRecord& r) {
  r.Require(52);
  uint64_t styleEntries = r.U32(48);
  r.Require(52 + styleEntries * 4);
  GdiObject& o = Slot(r.U32(8));
  o = GdiObject{GdiObject::Kind::Pen, {}, {}};
  uint32_t style = r.U32(28);
  o.Pen.Style = style;
  o.Pen.Geometric = (style & PS_GEOMETRIC) != 0;
  o.Pen.Width = r.U32(32);
  o.Pen.Null = (style & PS_STYLE_MASK) == PS_NULL || r.U32(36) == BS_NULL;
  o.Pen.Color = FromColorRef(r.U32(40));
}

void Interpreter::CreateBrush(const EmfRecord& r) {
  r.Require(24);
  GdiObject& o = Slot(r.U32(8));
  o = GdiObject{GdiObject::Kind::Brush, {}, {}};
  // Hatched and pattern brushes are shown in their colour.
  o.Brush.Null = r.U32(12) == BS_NULL;
  o.Brush.Color = FromColorRef(r.U32(16));
}

void Interpreter::SelectObject(uint32_t index) {
  if (index & StockObjectFlag) return SelectStock(index & ~StockObjectFlag);
  GdiObject& o = Slot(index);
  if (o.Kind == GdiObject::Kind::Empty) throw Malformed{"selected object does not exist"};
  if (o.Kind == GdiObject::Kind::Pen) pen_ = o.Pen;
  if (o.Kind == GdiObject::Kind::Brush) brush_ = o.Brush;
}

void Interpreter::SelectStock(uint32_t index) {
  static const int kGrays[] = {255, 192, 128, 64, 0};
  if (index <= BLACK_BRUSH) {
    brush_ = BrushObject{false, QColor(kGrays[index], kGrays[index], kGrays[index])};
  } else if (index == NULL_BRUSH) {
    brush_ = BrushObject{true, Qt::white};
  } else if (index == WHITE_PEN || index == BLACK_PEN || index == NULL_PEN) {
    pen_ = PenObject{};
    pen_.Null = index == NULL_PEN;
    pen_.Color = index == WHITE_PEN ? Qt::white : Qt::black;
  } else if (StockObjectKind(index) == StockKind::None) {
    throw Malformed{"unknown stock object"};
  }  // stock fonts, the palette and the DC objects do not change the drawing
}

void Interpreter::DeleteObject(uint32_t index) {
  if (index & StockObjectFlag) return;  // stock objects are never deleted
  GdiObject& o = Slot(index);
  if (o.Kind == GdiObject::Kind::Empty) throw Malformed{"deleted object does not exist"};
  o = GdiObject{};  // a selected object stays in use: the selection holds a copy
}

void Interpreter::MoveTo(int64_t x, int64_t y) {
  curX_ = x;
  curY_ = y;
  figureOpen_ = false;
}

void Interpreter::StartFigure() {
  if (!figureOpen_) path_.moveTo(Map(curX_, curY_));
  figureOpen_ = true;
}

void Interpreter::LineTo(int64_t x, int64_t y) {
  if (inPath_) {
    StartFigure();
    path_.lineTo(Map(x, y));
  } else {
    QPainterPath line(Map(curX_, curY_));
    line.lineTo(Map(x, y));
    Draw(line, MakePen(), Qt::NoBrush);
  }
  curX_ = x;
  curY_ = y;
}

// EMR_POLYBEZIERTO and EMR_POLYBEZIERTO16: bounds, count, then the points.
void Interpreter::PolyBezierTo(const EmfRecord& r, bool sixteenBit) {
  uint64_t count = r.U32(24), pointSize = sixteenBit ? 4 : 8;
  r.Require(28 + count * pointSize);
  if (count % 3 != 0) throw Malformed{"Bezier point count not a multiple of 3"};
  auto point = [&](uint32_t i, int64_t& x, int64_t& y) {
    uint32_t at = 28 + i * uint32_t(pointSize);
    x = sixteenBit ? r.I16(at) : r.I32(at);
    y = sixteenBit ? r.I16(at + 2) : r.I32(at + 4);
  };
  QPainterPath loose;
  QPainterPath& into = inPath_ ? path_ : loose;
  if (inPath_)
    StartFigure();
  else
    loose.moveTo(Map(curX_, curY_));
  for (uint32_t i = 0; i < count; i += 3) {
    int64_t x1, y1, x2, y2, x3, y3;
    point(i, x1, y1);
    point(i + 1, x2, y2);
    point(i + 2, x3, y3);
    into.cubicTo(Map(x1, y1), Map(x2, y2), Map(x3, y3));
    curX_ = x3;
    curY_ = y3;
  }
  if (!inPath_ && count > 0) Draw(loose, MakePen(), Qt::NoBrush);
}

// EMR_FILLPATH and EMR_STROKEANDFILLPATH: fill, then stroke; the path is
// used up. Without a closed path bracket the platform's call fails and
// draws nothing.
void Interpreter::UsePath(bool stroke) {
  if (!pathReady_) return;
  path_.setFillRule(fillRule_);
  QBrush brush = brush_.Null ? QBrush(Qt::NoBrush) : QBrush(brush_.Color);
  Draw(path_, stroke ? MakePen() : QPen(Qt::NoPen), brush);
  path_ = QPainterPath();
  pathReady_ = false;
}

QPointF Interpreter::Map(int64_t x, int64_t y) const {
  double px = double(x - originX_) * unitX_, py = double(y - originY_) * unitY_;
  return {target_.x() + (px - frameLeft_) * scaleX_, target_.y() + (py - frameTop_) * scaleY_};
}

QPen Interpreter::MakePen() const {
  if (pen_.Null) return QPen(Qt::NoPen);
  double scale = (std::abs(unitX_ * scaleX_) + std::abs(unitY_ * scaleY_)) / 2;
  // A geometric pen thinner than a pixel, width 0 included, still draws one
  // pixel wide, as on the platform.
  double width = pen_.Geometric ? std::max(1.0, pen_.Width * scale) : 1.0;
  QPen pen(QBrush(pen_.Color), width, DashStyle(pen_.Style), CapStyle(pen_.Style), JoinStyle(pen_.Style));
  pen.setMiterLimit(miterLimit_);
  return pen;
}

void Interpreter::Draw(const QPainterPath& path, const QPen& pen, const QBrush& brush) {
  if (pen.style() == Qt::NoPen && brush.style() == Qt::NoBrush) return;
  // How far a stroke may reach beyond its figure: a miter up to the limit
  // times the half width, a square cap the half diagonal; one more pixel for
  // the antialiasing.
  const double reach = pen.style() == Qt::NoPen ? 1 : pen.widthF() / 2 * std::max(miterLimit_, 1.5) + 1;
  drawings_.push_back(Drawing{path, pen, brush, reach, path.controlPointRect(), {}, {}});
}

class PainterStateGuard {
 public:
  explicit PainterStateGuard(QPainter& p) : p_(p) { p_.save(); }
  ~PainterStateGuard() { p_.restore(); }
  PainterStateGuard(const PainterStateGuard&) = delete;
  PainterStateGuard& operator=(const PainterStateGuard&) = delete;

 private:
  QPainter& p_;
};

// Checks the whole metafile and keeps what it draws, mapped onto `target`.
PlayResult Read(const std::vector<uint8_t>& emf, QRect target, std::vector<Drawing>& drawings) {
  try {
    drawings = Interpreter(emf, QRectF(target.x(), target.y(), target.width(), target.height())).Run();
  } catch (const Malformed& m) {
    return {false, m.What};
  } catch (const EmfFormatError& e) {
    return {false, e.what()};
  }
  return {};
}

}  // namespace

PlayResult PlayMetafile(const std::vector<uint8_t>& emf, QPainter& painter, QRect target) {
  std::vector<Drawing> drawings;
  PlayResult read = Read(emf, target, drawings);
  if (!read.Ok) return read;
  PainterStateGuard guard(painter);
  DrawAll(painter, drawings);
  return {};
}

PlayResult PlayMetafileOnImage(const std::vector<uint8_t>& emf, QImage& image, int threads) {
  std::vector<Drawing> drawings;
  PlayResult read = Read(emf, image.rect(), drawings);
  if (!read.Ok) return read;
  const std::vector<int> edges = threads > 1 ? BandEdges(drawings, image.width()) : std::vector<int>{};
  if (edges.empty()) {
    QPainter painter(&image);
    DrawAll(painter, drawings);
    return {};
  }
  // Each thread paints through a painter and image of its own onto the same
  // pixels, and Qt's paths and pens may be used from two threads only as
  // copies of their own.
  uchar* pixels = image.bits();
  std::vector<Drawing> theirs = drawings;
  std::atomic<size_t> next{0};
  std::exception_ptr failure;
  std::thread helper;
  try {
    helper = std::thread([&] {
      try {
        DrawBands(pixels, image, theirs, edges, next);
      } catch (...) {
        failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: this one draws every band.
  }
  std::exception_ptr mine;
  try {
    DrawBands(pixels, image, drawings, edges, next);
  } catch (...) {
    mine = std::current_exception();
  }
  if (helper.joinable()) helper.join();
  if (mine) std::rethrow_exception(mine);
  if (failure) std::rethrow_exception(failure);
  return {};
}

struct MetafileScene::Parts {
  std::vector<Drawing> drawings;
};

MetafileScene::MetafileScene() = default;
MetafileScene::~MetafileScene() = default;
MetafileScene::MetafileScene(MetafileScene&&) noexcept = default;
MetafileScene& MetafileScene::operator=(MetafileScene&&) noexcept = default;

PlayResult MetafileScene::Read(const std::vector<uint8_t>& emf, QSize size) {
  size_ = size;
  parts_ = std::make_unique<Parts>();
  PlayResult read = glyphor::Read(emf, QRect(QPoint(0, 0), size), parts_->drawings);
  if (!read.Ok) parts_->drawings.clear();
  return read;
}

void MetafileScene::Paint(QImage& tile, QPoint origin) {
  if (!parts_ || parts_->drawings.empty() || tile.isNull()) return;
  const QRect area(origin, tile.size());
  QPainter painter(&tile);
  // Moved by whole pixels only, so every point lands where it does on the
  // whole image, in the same columns of pixels.
  painter.translate(-origin.x(), -origin.y());
  for (Drawing& d : parts_->drawings) {
    // Ink lies within the control points' bounds and the reach of the pen.
    const double margin = d.Reach + 1;
    if (d.Bounds.right() + margin < area.left() || d.Bounds.left() - margin > area.right() + 1 ||
        d.Bounds.bottom() + margin < area.top() || d.Bounds.top() - margin > area.bottom() + 1)
      continue;
    painter.setPen(d.Pen);
    painter.setBrush(d.Brush);
    if (d.Bounds.width() <= kAtOnceWidth)
      painter.drawPath(d.Path);
    else
      DrawInColumns(painter, d, area.left(), area.right() + 1, area.top(), area.height());
  }
}

}  // namespace glyphor
