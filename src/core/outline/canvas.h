// SPDX-License-Identifier: MIT
// The small drawing-surface interface that outline paths are read from and
// replayed onto. Two surfaces implement it: the measuring surface of the text
// capture and the metafile recorder. Coordinates are the surface's logical
// units; point-type bytes use the path encoding of path_record.h.
#pragma once

#include <cstdint>

namespace glyphor {

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Pen and brush descriptions, in the terms of the metafile's records.
struct TPenSpec {
  uint32_t Style = 0;  // PS_* style word (geometric, join, cap, dash)
  uint32_t Width = 0;  // logical units
  uint32_t Color = 0;  // plain RGB, red in the low byte
};

struct TBrushSpec {
  uint32_t Style = 0;  // BS_SOLID 0, BS_NULL 1
  uint32_t Color = 0;  // plain RGB, red in the low byte
  uint32_t Hatch = 0;
};

// Point-type bytes: bits 1-2 the kind, bit 0 the close-figure flag.
inline constexpr uint8_t PT_CLOSEFIGURE = 0x01;
inline constexpr uint8_t PT_LINETO = 0x02;
inline constexpr uint8_t PT_BEZIERTO = 0x04;
inline constexpr uint8_t PT_MOVETO = 0x06;

// Handle of a pen or brush made by a surface; 0 means none.
using TObjectHandle = uint32_t;

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // Path bracket: drawing calls between the two build the surface's path.
  virtual void BeginPath() = 0;
  virtual void EndPath() = 0;
  // The path closed by the last EndPath. With count 0 it returns the number of
  // points; otherwise it copies up to count points and types. -1 when the
  // surface holds no closed path.
  virtual int GetPath(TPoint* points, uint8_t* types, int count) = 0;

  virtual void MoveTo(TPoint p) = 0;
  virtual void LineTo(TPoint p) = 0;
  virtual void PolyBezierTo(const TPoint* points, int count) = 0;  // count a multiple of 3
  virtual void CloseFigure() = 0;
  // One closed figure at once: a move, lines and Bezier runs of three (by
  // their point types), then the close. The same as the calls one by one,
  // which is what a surface that does not take it whole is given.
  virtual void AddClosedFigure(const TPoint* points, const uint8_t* types, int count) {
    for (int i = 0; i < count; ++i) {
      switch (types[i] & 0x06) {
        case PT_LINETO: LineTo(points[i]); break;
        case PT_BEZIERTO:
          if (i + 2 < count) PolyBezierTo(points + i, 3);
          i += 2;
          break;
        default: MoveTo(points[i]); break;
      }
    }
    CloseFigure();
  }

  // Both consume the current path.
  virtual void FillPath() = 0;
  virtual void StrokeAndFillPath() = 0;

  // Pens and brushes. A surface that only measures keeps no objects: its
  // implementations return 0 and draw nothing with them.
  virtual TObjectHandle CreatePen(const TPenSpec& pen) = 0;
  virtual TObjectHandle CreateBrush(const TBrushSpec& brush) = 0;
  // Returns the object of the same kind that was selected before.
  virtual TObjectHandle SelectObject(TObjectHandle object) = 0;
  virtual void DeleteObject(TObjectHandle object) = 0;
  virtual void SetMiterLimit(float limit) = 0;
};

}  // namespace glyphor
