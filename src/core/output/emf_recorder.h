// SPDX-License-Identifier: MIT
// EmfRecorder: a drawing surface that records an enhanced metafile ([MS-EMF])
// in memory, with a 96-dpi screen as its reference device. It writes exactly
// one record per call; Close() adds EMR_EOF and completes the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "core/outline/canvas.h"
#include "core/output/emf_format.h"

namespace glyphor {

class EmfRecorder : public TCanvas {
 public:
  // Frame (0, 0, width, height) in 0.01 mm; a width or height of 0 takes the
  // reference screen's. Writes EMR_HEADER.
  EmfRecorder(int32_t frameWidth, int32_t frameHeight);

  int32_t FrameWidth() const { return frameWidth_; }
  // Room for a metafile of `bytes` bytes, so that a long path is recorded
  // without the buffer being copied as it grows.
  void Reserve(size_t bytes);
  int32_t FrameHeight() const { return frameHeight_; }

  void SetMapMode(uint32_t mode);    // EMR_SETMAPMODE
  void SetWindowOrg(TPoint origin);  // EMR_SETWINDOWORGEX

  void BeginPath() override;
  void EndPath() override;
  int GetPath(TPoint* points, uint8_t* types, int count) override;
  void MoveTo(TPoint p) override;
  void LineTo(TPoint p) override;
  void PolyBezierTo(const TPoint* points, int count) override;
  void CloseFigure() override;
  void FillPath() override;
  void StrokeAndFillPath() override;
  TObjectHandle CreatePen(const TPenSpec& pen) override;
  TObjectHandle CreateBrush(const TBrushSpec& brush) override;
  TObjectHandle SelectObject(TObjectHandle object) override;
  void DeleteObject(TObjectHandle object) override;
  void SetMiterLimit(float limit) override;

  // Writes EMR_EOF, completes the header and hands out the whole metafile.
  // Nothing can be recorded afterwards. Throws EOutOfResources when the
  // metafile has outgrown the 32-bit sizes of its header.
  std::vector<uint8_t> Close();

 private:
  struct Rect {
    int64_t Left = 0, Top = 0, Right = -1, Bottom = -1;
    bool Empty() const { return Right < Left || Bottom < Top; }
  };
  enum class ObjectKind : uint8_t { None, Pen, Brush };

  size_t BeginRecord(uint32_t type);
  void EndRecord(size_t start);
  void Put32(uint32_t v);
  uint8_t* Grow(size_t n);
  void WordRecord(uint32_t type, std::initializer_list<uint32_t> words);
  void PutRect(const Rect& r);
  void SimpleRecord(uint32_t type);
  void RecordWithValue(uint32_t type, uint32_t value);
  void AddPathPoint(TPoint p, uint8_t type);
  Rect DeviceBounds(std::span<const TPoint> points, int64_t reach) const;
  int64_t StrokeReach() const;
  void AddToBounds(const Rect& r);
  void DrawPath(uint32_t type, bool stroke);
  uint32_t NewHandle(ObjectKind kind);
  ObjectKind KindOf(TObjectHandle object) const;

  std::vector<uint8_t> bytes_;
  uint32_t records_ = 0;
  bool closed_ = false;
  int32_t frameWidth_, frameHeight_;
  Rect bounds_;  // device pixels, inclusive-inclusive

  uint32_t mapMode_ = MM_TEXT;
  TPoint windowOrg_;
  TPoint position_;

  std::vector<ObjectKind> handles_{ObjectKind::None};  // index 0 is the metafile itself
  std::vector<TPenSpec> pens_{TPenSpec{}};
  TObjectHandle pen_ = StockBlackPen, brush_ = StockWhiteBrush;
  float miterLimit_ = 10.0f;

  bool inPath_ = false, havePath_ = false;
  std::vector<TPoint> pathPoints_;
  std::vector<uint8_t> pathTypes_;
};

}  // namespace glyphor
