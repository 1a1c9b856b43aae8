// SPDX-License-Identifier: MIT
#include "core/output/emf_recorder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>

#include "core/outline/path_record.h"
#include "core/platform/errors.h"

namespace glyphor {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool FitsInt16(TPoint p) { return p.X >= INT16_MIN && p.X <= INT16_MAX && p.Y >= INT16_MIN && p.Y <= INT16_MAX; }

void Patch32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Stores v little-endian at p and moves p past it.
void Store32(uint8_t*& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

EmfRecorder::EmfRecorder(int32_t frameWidth, int32_t frameHeight)
    // An empty side takes the reference screen's size in whole millimetres,
    // as the header states it, times 100.
    : frameWidth_(frameWidth != 0 ? frameWidth : RefScreenMillimetersX * 100),
      frameHeight_(frameHeight != 0 ? frameHeight : RefScreenMillimetersY * 100) {
  // EMR_HEADER: bounds, byte and record counts and the handle count are
  // filled in by Close().
  const size_t start = BeginRecord(EMR_HEADER);
  PutRect(Rect{});
  PutRect(Rect{0, 0, frameWidth_, frameHeight_});
  for (uint32_t v : {EmfSignature, EmfVersion, 0u /* nBytes */, 0u /* nRecords */, 0u /* nHandles, sReserved */,
                     0u /* nDescription */, 0u /* offDescription */, 0u /* nPalEntries */})
    Put32(v);
  for (int32_t v : {RefScreenPixelsX, RefScreenPixelsY, RefScreenMillimetersX, RefScreenMillimetersY})
    Put32(static_cast<uint32_t>(v));
  for (uint32_t v : {0u /* cbPixelFormat */, 0u /* offPixelFormat */, 0u /* bOpenGL */}) Put32(v);
  Put32(RefScreenMicrometersX);
  Put32(RefScreenMicrometersY);
  EndRecord(start);
}

size_t EmfRecorder::BeginRecord(uint32_t type) {
  if (closed_) throw std::logic_error("EmfRecorder: recording after Close");
  const size_t start = bytes_.size();
  Put32(type);
  Put32(0);  // size, set by EndRecord
  return start;
}

void EmfRecorder::EndRecord(size_t start) {
  // Every record here is made of 32-bit fields, so its size is a multiple of 4.
  Patch32(bytes_, start + 4, static_cast<uint32_t>(bytes_.size() - start));
  ++records_;
}

void EmfRecorder::Put32(uint32_t v) {
  uint8_t* p = Grow(4);
  Store32(p, v);
}

void EmfRecorder::Reserve(size_t bytes) { bytes_.reserve(bytes); }

uint8_t* EmfRecorder::Grow(size_t n) {
  const size_t at = bytes_.size();
  bytes_.resize(at + n);
  return bytes_.data() + at;
}

// A whole record of 32-bit words in one step: the path records come by the
// thousand.
void EmfRecorder::WordRecord(uint32_t type, std::initializer_list<uint32_t> words) {
  if (closed_) throw std::logic_error("EmfRecorder: recording after Close");
  const auto size = static_cast<uint32_t>(8 + 4 * words.size());
  uint8_t* p = Grow(size);
  Store32(p, type);
  Store32(p, size);
  for (uint32_t w : words) Store32(p, w);
  ++records_;
}

void EmfRecorder::PutRect(const Rect& r) {
  for (int64_t v : {r.Left, r.Top, r.Right, r.Bottom}) Put32(static_cast<uint32_t>(Clamp32(v)));
}

void EmfRecorder::SimpleRecord(uint32_t type) { WordRecord(type, {}); }

void EmfRecorder::RecordWithValue(uint32_t type, uint32_t value) { WordRecord(type, {value}); }

// EMR_SETMAPMODE
void EmfRecorder::SetMapMode(uint32_t mode) {
  RecordWithValue(EMR_SETMAPMODE, mode);
  mapMode_ = mode;
}

// EMR_SETWINDOWORGEX
void EmfRecorder::SetWindowOrg(TPoint origin) {
  WordRecord(EMR_SETWINDOWORGEX, {static_cast<uint32_t>(origin.X), static_cast<uint32_t>(origin.Y)});
  windowOrg_ = origin;
}

// EMR_BEGINPATH: a new bracket drops any path not yet drawn.
void EmfRecorder::BeginPath() {
  SimpleRecord(EMR_BEGINPATH);
  inPath_ = true;
  havePath_ = false;
  pathPoints_.clear();
  pathTypes_.clear();
}

// EMR_ENDPATH
void EmfRecorder::EndPath() {
  SimpleRecord(EMR_ENDPATH);
  havePath_ = inPath_;
  inPath_ = false;
}

int EmfRecorder::GetPath(TPoint* points, uint8_t* types, int count) {
  if (!havePath_) return -1;
  const int size = static_cast<int>(pathPoints_.size());
  if (count == 0) return size;
  const int n = std::min(count, size);
  std::copy_n(pathPoints_.begin(), n, points);
  std::copy_n(pathTypes_.begin(), n, types);
  return n;
}

void EmfRecorder::AddPathPoint(TPoint p, uint8_t type) {
  pathPoints_.push_back(p);
  pathTypes_.push_back(type);
}

// EMR_MOVETOEX
void EmfRecorder::MoveTo(TPoint p) {
  WordRecord(EMR_MOVETOEX, {static_cast<uint32_t>(p.X), static_cast<uint32_t>(p.Y)});
  if (inPath_) AddPathPoint(p, PT_MOVETO);
  position_ = p;
}

// EMR_LINETO; outside a path bracket the line is drawn and counts in the bounds.
void EmfRecorder::LineTo(TPoint p) {
  WordRecord(EMR_LINETO, {static_cast<uint32_t>(p.X), static_cast<uint32_t>(p.Y)});
  if (inPath_) {
    AddPathPoint(p, PT_LINETO);
  } else {
    const TPoint line[] = {position_, p};
    AddToBounds(DeviceBounds(line, StrokeReach()));
  }
  position_ = p;
}

// EMR_POLYBEZIERTO16 when the points and their bounds fit in 16 bits (as the
// platform's own recorder does), else EMR_POLYBEZIERTO. The bounds, in logical
// units as [MS-EMF] has them, enclose the current position and the points: a
// cubic Bezier lies inside the hull of its four points.
void EmfRecorder::PolyBezierTo(const TPoint* points, int count) {
  if (count <= 0) return;
  if (closed_) throw std::logic_error("EmfRecorder: recording after Close");
  const std::span<const TPoint> pts(points, static_cast<size_t>(count));
  const bool small = FitsInt16(position_) && std::all_of(pts.begin(), pts.end(), FitsInt16);
  Rect logical{position_.X, position_.Y, position_.X, position_.Y};
  for (const TPoint& p : pts) {
    logical.Left = std::min<int64_t>(logical.Left, p.X);
    logical.Right = std::max<int64_t>(logical.Right, p.X);
    logical.Top = std::min<int64_t>(logical.Top, p.Y);
    logical.Bottom = std::max<int64_t>(logical.Bottom, p.Y);
  }
  const size_t size = 28 + pts.size() * (small ? 4 : 8);
  if (size > std::numeric_limits<uint32_t>::max()) throw EOutOfResources();
  uint8_t* out = Grow(size);
  Store32(out, small ? EMR_POLYBEZIERTO16 : EMR_POLYBEZIERTO);
  Store32(out, static_cast<uint32_t>(size));
  for (int64_t v : {logical.Left, logical.Top, logical.Right, logical.Bottom})
    Store32(out, static_cast<uint32_t>(Clamp32(v)));
  Store32(out, static_cast<uint32_t>(count));
  for (const TPoint& p : pts) {
    if (small) {
      Store32(out, static_cast<uint16_t>(p.X) | (static_cast<uint32_t>(static_cast<uint16_t>(p.Y)) << 16));
    } else {
      Store32(out, static_cast<uint32_t>(p.X));
      Store32(out, static_cast<uint32_t>(p.Y));
    }
  }
  ++records_;
  if (inPath_) {
    for (const TPoint& p : pts) AddPathPoint(p, PT_BEZIERTO);
  } else {
    std::vector<TPoint> hull(pts.begin(), pts.end());
    hull.push_back(position_);
    AddToBounds(DeviceBounds(hull, StrokeReach()));
  }
  position_ = pts.back();
}

// EMR_CLOSEFIGURE: flags the figure's last point, as the path query shows it.
void EmfRecorder::CloseFigure() {
  SimpleRecord(EMR_CLOSEFIGURE);
  if (inPath_ && !pathTypes_.empty()) pathTypes_.back() |= PT_CLOSEFIGURE;
}

// The device-pixel rectangle (inclusive-inclusive) covering `points` grown by
// `reach` logical units; (0, 0, -1, -1) when there are no points.
EmfRecorder::Rect EmfRecorder::DeviceBounds(std::span<const TPoint> points, int64_t reach) const {
  if (points.empty()) return Rect{};
  int64_t minX = points[0].X, maxX = minX, minY = points[0].Y, maxY = minY;
  for (const TPoint& p : points) {
    minX = std::min<int64_t>(minX, p.X);
    maxX = std::max<int64_t>(maxX, p.X);
    minY = std::min<int64_t>(minY, p.Y);
    maxY = std::max<int64_t>(maxY, p.Y);
  }
  minX -= reach + windowOrg_.X;
  maxX += reach - windowOrg_.X;
  minY -= reach + windowOrg_.Y;
  maxY += reach - windowOrg_.Y;
  const int64_t upi = LogicalUnitsPerInch(mapMode_);
  if (upi == 0) return Rect{minX, minY, maxX, maxY};
  // y grows upwards in the metric modes: the top pixel comes from the largest y.
  return Rect{FloorDiv(minX * RefScreenPpi, upi), FloorDiv(-maxY * RefScreenPpi, upi),
              FloorDiv(maxX * RefScreenPpi, upi), FloorDiv(-minY * RefScreenPpi, upi)};
}

void EmfRecorder::AddToBounds(const Rect& r) {
  if (r.Empty()) return;
  if (bounds_.Empty()) {
    bounds_ = r;
    return;
  }
  bounds_ = Rect{std::min(bounds_.Left, r.Left), std::min(bounds_.Top, r.Top), std::max(bounds_.Right, r.Right),
                 std::max(bounds_.Bottom, r.Bottom)};
}

// How far the selected pen's ink reaches beyond the path, in logical units: half
// the width of a geometric pen, times the miter limit for mitred joins.
int64_t EmfRecorder::StrokeReach() const {
  if (KindOf(pen_) != ObjectKind::Pen || (pen_ & StockObjectFlag) != 0) return 0;
  const TPenSpec& pen = pens_[pen_];
  if ((pen.Style & PS_GEOMETRIC) == 0 || (pen.Style & 0x0F) == PS_NULL) return 0;
  double reach = pen.Width / 2.0;
  if ((pen.Style & PS_JOIN_MASK) == PS_JOIN_MITER) reach *= std::max(1.0f, miterLimit_);
  return static_cast<int64_t>(std::ceil(reach));
}

// EMR_FILLPATH / EMR_STROKEANDFILLPATH, with the drawing's bounds in device
// pixels. Without a closed path the call fails and records nothing.
void EmfRecorder::DrawPath(uint32_t type, bool stroke) {
  if (!havePath_) return;
  const Rect r = DeviceBounds(pathPoints_, stroke ? StrokeReach() : 0);
  const size_t start = BeginRecord(type);
  PutRect(r);
  EndRecord(start);
  AddToBounds(r);
  havePath_ = false;
  pathPoints_.clear();
  pathTypes_.clear();
}

void EmfRecorder::FillPath() { DrawPath(EMR_FILLPATH, false); }
void EmfRecorder::StrokeAndFillPath() { DrawPath(EMR_STROKEANDFILLPATH, true); }

uint32_t EmfRecorder::NewHandle(ObjectKind kind) {
  auto free = std::find(handles_.begin() + 1, handles_.end(), ObjectKind::None);
  const auto index = static_cast<uint32_t>(free - handles_.begin());
  if (free == handles_.end()) {
    handles_.push_back(kind);
    pens_.emplace_back();
  } else {
    *free = kind;
  }
  return index;
}

EmfRecorder::ObjectKind EmfRecorder::KindOf(TObjectHandle object) const {
  if (object & StockObjectFlag) {
    switch (StockObjectKind(object & ~StockObjectFlag)) {
      case StockKind::Brush: return ObjectKind::Brush;
      case StockKind::Pen: return ObjectKind::Pen;
      default: return ObjectKind::None;
    }
  }
  return object < handles_.size() ? handles_[object] : ObjectKind::None;
}

// EMR_EXTCREATEPEN (52 bytes): a solid pen without a bitmap or dash entries.
TObjectHandle EmfRecorder::CreatePen(const TPenSpec& pen) {
  const uint32_t index = NewHandle(ObjectKind::Pen);
  pens_[index] = pen;
  const size_t start = BeginRecord(EMR_EXTCREATEPEN);
  for (uint32_t v : {index, 0u /* offBmi */, 0u /* cbBmi */, 0u /* offBits */, 0u /* cbBits */, pen.Style, pen.Width,
                     BS_SOLID, pen.Color, 0u /* hatch */, 0u /* style entries */})
    Put32(v);
  EndRecord(start);
  return index;
}

// EMR_CREATEBRUSHINDIRECT
TObjectHandle EmfRecorder::CreateBrush(const TBrushSpec& brush) {
  const uint32_t index = NewHandle(ObjectKind::Brush);
  const size_t start = BeginRecord(EMR_CREATEBRUSHINDIRECT);
  for (uint32_t v : {index, brush.Style, brush.Color, brush.Hatch}) Put32(v);
  EndRecord(start);
  return index;
}

// EMR_SELECTOBJECT. An unknown handle fails and records nothing.
TObjectHandle EmfRecorder::SelectObject(TObjectHandle object) {
  const ObjectKind kind = KindOf(object);
  if (kind == ObjectKind::None) return 0;
  RecordWithValue(EMR_SELECTOBJECT, object);
  TObjectHandle& slot = kind == ObjectKind::Pen ? pen_ : brush_;
  const TObjectHandle old = slot;
  slot = object;
  return old;
}

// EMR_DELETEOBJECT; stock objects are never deleted.
void EmfRecorder::DeleteObject(TObjectHandle object) {
  if ((object & StockObjectFlag) || KindOf(object) == ObjectKind::None) return;
  RecordWithValue(EMR_DELETEOBJECT, object);
  handles_[object] = ObjectKind::None;
}

// EMR_SETMITERLIMIT. [MS-EMF] calls the field an unsigned integer, but the
// platform's own header declares it FLOAT eMiterLimit and its recorder writes
// the float; readers that follow the document see 4.0 as 1082130432.
void EmfRecorder::SetMiterLimit(float limit) {
  uint32_t bits;
  std::memcpy(&bits, &limit, sizeof bits);
  RecordWithValue(EMR_SETMITERLIMIT, bits);
  miterLimit_ = limit;
}

// EMR_EOF: no palette entries; offPalEntries points just past the counts, and
// nSizeLast repeats this record's size.
std::vector<uint8_t> EmfRecorder::Close() {
  const size_t start = BeginRecord(EMR_EOF);
  for (uint32_t v : {0u, 16u, 20u}) Put32(v);
  EndRecord(start);
  closed_ = true;
  if (bytes_.size() > std::numeric_limits<uint32_t>::max()) throw EOutOfResources();
  for (size_t i = 0; i < 4; ++i) {
    const int64_t v[] = {bounds_.Left, bounds_.Top, bounds_.Right, bounds_.Bottom};
    Patch32(bytes_, EmfHeaderAt::Bounds + 4 * i, static_cast<uint32_t>(Clamp32(v[i])));
  }
  Patch32(bytes_, EmfHeaderAt::Bytes, static_cast<uint32_t>(bytes_.size()));
  Patch32(bytes_, EmfHeaderAt::Records, records_);
  // nHandles counts the table's slots, slot 0 (the metafile itself) included.
  const uint32_t handles = static_cast<uint32_t>(std::min<size_t>(handles_.size(), 0xFFFF));
  bytes_[EmfHeaderAt::Handles] = static_cast<uint8_t>(handles);
  bytes_[EmfHeaderAt::Handles + 1] = static_cast<uint8_t>(handles >> 8);
  return std::move(bytes_);
}

}  // namespace glyphor
