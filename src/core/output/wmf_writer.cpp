// SPDX-License-Identifier: MIT
#include "core/output/wmf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

#include "core/output/emf_reader.h"
#include "core/platform/errors.h"

namespace glyphor {

namespace {

// [MS-WMF] record functions.
enum WmfFunction : uint16_t {
  META_EOF = 0x0000,
  META_SETMAPMODE = 0x0103,
  META_SETPOLYFILLMODE = 0x0106,
  META_SETWINDOWORG = 0x020B,
  META_SETWINDOWEXT = 0x020C,
  META_SELECTOBJECT = 0x012D,
  META_DELETEOBJECT = 0x01F0,
  META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYPOLYGON = 0x0538,
  META_RECTANGLE = 0x041B,
};
constexpr uint16_t MM_ANISOTROPIC = 8;
constexpr uint32_t PlaceableKey = 0x9AC6CDD7;

// No facet of a flattened Bezier strays more than 0.1 mm from the curve.
constexpr double FlatnessInches = 0.1 / 25.4;

// At most this many logical units to a placeable unit (1/96 inch): 2496 to the
// inch, just coarser than the EMF's 0.01 mm.
constexpr int MaxFineness = 26;

struct PointD {
  double X, Y;
};

int16_t Checked16(int64_t v) {
  if (v < INT16_MIN || v > INT16_MAX) throw EOutOfResources();
  return static_cast<int16_t>(v);
}

// The WMF records after the placeable header, with the figures of the META_HEADER.
class WmfOut {
 public:
  void Record(uint16_t function, std::initializer_list<uint16_t> params) {
    Begin(function);
    for (uint16_t p : params) Put16(p);
    End();
  }
  void Begin(uint16_t function) {
    start_ = bytes_.size();
    Put32(0);  // RecordSize in 16-bit words, set by End
    Put16(function);
  }
  void End() {
    const size_t words = (bytes_.size() - start_) / 2;
    if (words > std::numeric_limits<uint32_t>::max()) throw EOutOfResources();
    for (int i = 0; i < 4; ++i) bytes_[start_ + i] = static_cast<uint8_t>(words >> (8 * i));
    maxRecord_ = std::max<size_t>(maxRecord_, words);
  }
  void Put16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void Put32(uint32_t v) {
    Put16(static_cast<uint16_t>(v));
    Put16(static_cast<uint16_t>(v >> 16));
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t MaxRecord() const { return maxRecord_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t start_ = 0;
  size_t maxRecord_ = 0;
};

// Walks the EMF records of the picture and writes their WMF equivalents: the
// objects one to one, each path drawing as one META_POLYPOLYGON.
class Converter {
 public:
  // `fineness`: logical units to a placeable unit.
  Converter(WmfOut& out, int fineness) : out_(out), fineness_(fineness) {}
  void MarkFrame(int16_t right, int16_t bottom);
  void Run(const std::vector<uint8_t>& emf);  // throws EmfFormatError
  void Finish();
  size_t MaxObjects() const { return maxObjects_; }

 private:
  void OnRecord(const EmfRecord& r);
  void BezierTo(const EmfRecord& r, bool small);
  int16_t WmfLength(uint32_t logical) const;
  PointD ToWmf(PointD p) const;
  uint16_t NewObject();
  void CreatePen(uint32_t emfIndex, uint16_t style, uint32_t width, uint32_t color);
  void Select(uint32_t emfIndex);
  void Delete(uint32_t emfIndex);
  void DrawPolyPolygon();
  void FillWithNullPen();
  void StartFigure(PointD p);

  WmfOut& out_;
  const int fineness_;
  uint32_t mapMode_ = MM_TEXT;
  PointD windowOrg_{0, 0};
  PointD position_{0, 0};
  std::vector<std::vector<PointD>> figures_;  // logical units
  struct Object {
    uint16_t Index;  // in the WMF object table
    bool Pen;
  };
  std::map<uint32_t, Object> objects_;  // by EMF handle
  std::vector<bool> used_;              // WMF object table slots
  size_t maxObjects_ = 0;
  int pen_ = -1;  // selected WMF pen, -1 none of ours
  uint16_t nullPen_ = 0, nullBrush_ = 0;
};

// libwmf sizes a picture by the extent of what it draws, not by the window:
// an invisible rectangle over the whole frame, drawn first with a null pen and
// a null brush, makes it show the frame at its real size, as LibreOffice does.
void Converter::MarkFrame(int16_t right, int16_t bottom) {
  nullPen_ = NewObject();
  out_.Record(META_CREATEPENINDIRECT, {static_cast<uint16_t>(PS_NULL), 0, 0, 0, 0});
  nullBrush_ = NewObject();
  out_.Record(META_CREATEBRUSHINDIRECT, {static_cast<uint16_t>(BS_NULL), 0, 0, 0});
  out_.Record(META_SELECTOBJECT, {nullPen_});
  out_.Record(META_SELECTOBJECT, {nullBrush_});
  // META_RECTANGLE: bottom, right, top, left.
  out_.Record(META_RECTANGLE, {static_cast<uint16_t>(bottom), static_cast<uint16_t>(right), 0, 0});
}

void Converter::Finish() {
  out_.Record(META_DELETEOBJECT, {nullPen_});
  out_.Record(META_DELETEOBJECT, {nullBrush_});
}

void Converter::Run(const std::vector<uint8_t>& emf) {
  EmfReader reader(emf);
  EmfRecord r;
  while (reader.Next(r)) OnRecord(r);
}

void Converter::OnRecord(const EmfRecord& r) {
  switch (r.Type()) {
    case EMR_SETMAPMODE: mapMode_ = r.U32(8); break;
    case EMR_SETWINDOWORGEX: windowOrg_ = {double(r.I32(8)), double(r.I32(12))}; break;
    case EMR_EXTCREATEPEN: CreatePen(r.U32(8), static_cast<uint16_t>(r.U32(28)), r.U32(32), r.U32(40)); break;
    case EMR_CREATEBRUSHINDIRECT: {
      const uint16_t index = NewObject();
      objects_[r.U32(8)] = {index, false};
      const uint32_t color = r.U32(16);
      out_.Record(META_CREATEBRUSHINDIRECT, {static_cast<uint16_t>(r.U32(12)), static_cast<uint16_t>(color),
                                             static_cast<uint16_t>(color >> 16), static_cast<uint16_t>(r.U32(20))});
      break;
    }
    case EMR_SELECTOBJECT: Select(r.U32(8)); break;
    case EMR_DELETEOBJECT: Delete(r.U32(8)); break;
    case EMR_BEGINPATH: figures_.clear(); break;
    case EMR_MOVETOEX:
      position_ = {double(r.I32(8)), double(r.I32(12))};
      StartFigure(position_);
      break;
    case EMR_LINETO:
      position_ = {double(r.I32(8)), double(r.I32(12))};
      if (figures_.empty())
        StartFigure(position_);
      else
        figures_.back().push_back(position_);
      break;
    case EMR_POLYBEZIERTO: BezierTo(r, false); break;
    case EMR_POLYBEZIERTO16: BezierTo(r, true); break;
    case EMR_STROKEANDFILLPATH: DrawPolyPolygon(); break;
    case EMR_FILLPATH: FillWithNullPen(); break;
    default: break;  // EMR_ENDPATH, EMR_CLOSEFIGURE (polygons close themselves), miter limit, EMR_EOF
  }
}

void Converter::StartFigure(PointD p) { figures_.push_back({p}); }

// Flattens the run of cubic Beziers into chords. The number of chords comes
// from the curve's second differences, so that no chord strays more than the
// flatness from the curve.
void Converter::BezierTo(const EmfRecord& r, bool small) {
  const uint32_t count = r.U32(24);
  const uint32_t step = small ? 4 : 8;
  r.Require(28 + uint64_t(count) * step);
  if (figures_.empty()) StartFigure(position_);
  const int64_t upi = LogicalUnitsPerInch(mapMode_);
  const double tolerance = FlatnessInches * (upi ? upi : WmfUnitsPerInch);
  for (uint32_t i = 0; i + 2 < count; i += 3) {
    PointD c[4] = {position_, {}, {}, {}};
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t p = 28 + (i + k) * step;
      c[k + 1] =
          small ? PointD{double(r.I16(p)), double(r.I16(p + 2))} : PointD{double(r.I32(p)), double(r.I32(p + 4))};
    }
    const double dd = std::max(std::hypot(c[0].X - 2 * c[1].X + c[2].X, c[0].Y - 2 * c[1].Y + c[2].Y),
                               std::hypot(c[1].X - 2 * c[2].X + c[3].X, c[1].Y - 2 * c[2].Y + c[3].Y));
    const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * dd / tolerance))), 1, 1000);
    for (int s = 1; s <= n; ++s) {
      const double t = double(s) / n, u = 1 - t;
      const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
      figures_.back().push_back(
          {a * c[0].X + b * c[1].X + d * c[2].X + e * c[3].X, a * c[0].Y + b * c[1].Y + d * c[2].Y + e * c[3].Y});
    }
    position_ = c[3];
  }
}

// EMF logical units to WMF logical units: the metric modes have y pointing up.
PointD Converter::ToWmf(PointD p) const {
  const int64_t upi = LogicalUnitsPerInch(mapMode_);
  const double dx = p.X - windowOrg_.X, dy = p.Y - windowOrg_.Y;
  if (upi == 0) return {dx * fineness_, dy * fineness_};
  const double k = double(WmfUnitsPerInch) * fineness_ / upi;
  return {dx * k, -dy * k};
}

int16_t Converter::WmfLength(uint32_t logical) const {
  const int64_t upi = LogicalUnitsPerInch(mapMode_);
  if (upi == 0) return Checked16(int64_t{logical} * fineness_);
  return Checked16(std::llround(double(logical) * WmfUnitsPerInch * fineness_ / upi));
}

uint16_t Converter::NewObject() {
  auto free = std::find(used_.begin(), used_.end(), false);
  const auto index = static_cast<size_t>(free - used_.begin());
  if (free == used_.end())
    used_.push_back(true);
  else
    *free = true;
  if (index > 0xFFFF) throw EOutOfResources();
  maxObjects_ = std::max(maxObjects_, used_.size());
  return static_cast<uint16_t>(index);
}

// META_CREATEPENINDIRECT: the 16-bit style keeps the join and cap bits of the
// extended pen (the geometric bit has no room in it).
void Converter::CreatePen(uint32_t emfIndex, uint16_t style, uint32_t width, uint32_t color) {
  const uint16_t index = NewObject();
  objects_[emfIndex] = {index, true};
  out_.Record(META_CREATEPENINDIRECT, {style, static_cast<uint16_t>(WmfLength(width)), 0, static_cast<uint16_t>(color),
                                       static_cast<uint16_t>(color >> 16)});
}

// WMF has no stock objects: selecting one (the stock pen put back before the
// picture's own pen is deleted) has nothing to select.
void Converter::Select(uint32_t emfIndex) {
  const auto it = objects_.find(emfIndex);
  if (it == objects_.end()) return;
  out_.Record(META_SELECTOBJECT, {it->second.Index});
  if (it->second.Pen) pen_ = it->second.Index;
}

void Converter::Delete(uint32_t emfIndex) {
  const auto it = objects_.find(emfIndex);
  if (it == objects_.end()) return;
  out_.Record(META_DELETEOBJECT, {it->second.Index});
  used_[it->second.Index] = false;
  if (it->second.Pen && pen_ == it->second.Index) pen_ = -1;
  objects_.erase(it);
}

void Converter::DrawPolyPolygon() {
  std::vector<std::vector<std::pair<int16_t, int16_t>>> polygons;
  for (const auto& figure : figures_) {
    std::vector<std::pair<int16_t, int16_t>> poly;
    for (const PointD& p : figure) {
      const PointD w = ToWmf(p);
      const std::pair<int16_t, int16_t> q{Checked16(std::llround(w.X)), Checked16(std::llround(w.Y))};
      if (poly.empty() || poly.back() != q) poly.push_back(q);
    }
    while (poly.size() > 1 && poly.back() == poly.front()) poly.pop_back();
    if (poly.size() < 2) continue;
    // The first point again at the end: LibreOffice strokes each polygon as an
    // open line, and would leave the closing edge without a pen.
    poly.push_back(poly.front());
    if (poly.size() > 0xFFFF) throw EOutOfResources();
    polygons.push_back(std::move(poly));
  }
  figures_.clear();
  if (polygons.empty()) return;
  if (polygons.size() > 0xFFFF) throw EOutOfResources();
  // META_POLYPOLYGON: the polygon count, each polygon's point count, the points.
  out_.Begin(META_POLYPOLYGON);
  out_.Put16(static_cast<uint16_t>(polygons.size()));
  for (const auto& poly : polygons) out_.Put16(static_cast<uint16_t>(poly.size()));
  for (const auto& poly : polygons)
    for (const auto& [x, y] : poly) {
      out_.Put16(static_cast<uint16_t>(x));
      out_.Put16(static_cast<uint16_t>(y));
    }
  out_.End();
}

// The fill-only layer: the null pen for the polygons, then the picture's pen back.
void Converter::FillWithNullPen() {
  out_.Record(META_SELECTOBJECT, {nullPen_});
  DrawPolyPolygon();
  if (pen_ >= 0) out_.Record(META_SELECTOBJECT, {static_cast<uint16_t>(pen_)});
}

}  // namespace

int32_t HundredthsMmToWmfUnits(int64_t hundredths) {
  const int64_t n = hundredths * WmfUnitsPerInch * 2;
  const int64_t r = (std::llabs(n) + 2540) / 5080;
  return static_cast<int32_t>(n < 0 ? -r : r);
}

std::vector<uint8_t> ConvertToPlaceableWmf(const MetafilePicture& picture) {
  const int16_t right = Checked16(HundredthsMmToWmfUnits(picture.FrameWidth));
  const int16_t bottom = Checked16(HundredthsMmToWmfUnits(picture.FrameHeight));

  // The drawing's coordinates are finer than the bounding box's 1/96 inch,
  // as fine as 16 bits allow for this frame (with a unit to spare for points
  // on its rounded-off edge): on a 1/96-inch grid, small text loses its shape.
  const int largest = std::max(std::abs(int{right}), std::abs(int{bottom}));
  const int fineness = std::clamp(INT16_MAX / (largest + 1), 1, MaxFineness);
  const int16_t fineRight = Checked16(int64_t{right} * fineness);
  const int16_t fineBottom = Checked16(int64_t{bottom} * fineness);

  WmfOut body;
  // The window spans the placeable bounding box exactly, in finer units.
  body.Record(META_SETMAPMODE, {MM_ANISOTROPIC});
  body.Record(META_SETWINDOWORG, {0, 0});
  body.Record(META_SETWINDOWEXT, {static_cast<uint16_t>(fineBottom), static_cast<uint16_t>(fineRight)});
  body.Record(META_SETPOLYFILLMODE, {static_cast<uint16_t>(ALTERNATE)});
  Converter conv(body, fineness);
  conv.MarkFrame(fineRight, fineBottom);
  try {
    conv.Run(picture.Bytes);
  } catch (const EmfFormatError&) {
    throw EOutOfResources();  // a picture that cannot be read cannot be converted
  }
  conv.Finish();
  // For LibreOffice (7.x), which takes a placeable picture's size from the
  // last window extent over the units per inch, not from the bounding box,
  // and enlarges it to an inch when that is smaller both ways and the last
  // mapping mode is MM_ANISOTROPIC: once everything is drawn, the window in
  // the bounding box's units, and the default mapping mode. Nothing is drawn
  // after them, so no reader draws differently.
  body.Record(META_SETWINDOWEXT, {static_cast<uint16_t>(bottom), static_cast<uint16_t>(right)});
  body.Record(META_SETMAPMODE, {static_cast<uint16_t>(MM_TEXT)});
  body.Record(META_EOF, {});

  std::vector<uint8_t> out;
  auto put16 = [&out](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  const uint16_t header[10] = {static_cast<uint16_t>(PlaceableKey),
                               static_cast<uint16_t>(PlaceableKey >> 16),
                               0 /* hmf */,
                               0,
                               0,
                               static_cast<uint16_t>(right),
                               static_cast<uint16_t>(bottom),
                               WmfUnitsPerInch,
                               0,
                               0 /* reserved */};
  uint16_t checksum = 0;
  for (uint16_t w : header) {
    put16(w);
    checksum ^= w;
  }
  put16(checksum);

  // META_HEADER: sizes in 16-bit words, counting this header but not the
  // placeable one before it.
  const size_t words = 9 + body.Bytes().size() / 2;
  if (words > std::numeric_limits<uint32_t>::max()) throw EOutOfResources();
  put16(1);       // in memory
  put16(9);       // header words
  put16(0x0300);  // version
  put16(static_cast<uint16_t>(words));
  put16(static_cast<uint16_t>(words >> 16));
  put16(static_cast<uint16_t>(conv.MaxObjects()));
  put16(static_cast<uint16_t>(body.MaxRecord()));
  put16(static_cast<uint16_t>(body.MaxRecord() >> 16));
  put16(0);  // no members
  out.insert(out.end(), body.Bytes().begin(), body.Bytes().end());
  return out;
}

}  // namespace glyphor
