// SPDX-License-Identifier: MIT
// A tiny [MS-EMF] byte builder for the player's tests: a header, the records
// given word by word, and the end-of-file record.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/output/emf_format.h"

namespace glyphor::test {

inline constexpr uint32_t kMiterPen = 0x12200, kRoundPen = 0x10200, kBevelPen = 0x11200;
inline constexpr uint32_t kWhiteBrush = StockObjectFlag | WHITE_BRUSH, kBlackBrush = StockObjectFlag | BLACK_BRUSH,
                          kNullBrush = StockObjectFlag | NULL_BRUSH, kBlackPen = StockObjectFlag | BLACK_PEN,
                          kNullPen = StockObjectFlag | NULL_PEN;
inline constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000;  // COLORREF, red lowest

class EmfBuilder {
 public:
  // Frame (0, 0)-(width, height) in 0.01 mm; a 96 dpi reference screen.
  EmfBuilder(int32_t width, int32_t height, uint16_t handles = 4) {
    Words({EMR_HEADER, 88, 0, 0, 0,    0,    0,   0,  uint32_t(width), uint32_t(height), EmfSignature, EmfVersion, 0, 0,
           handles,    0,  0, 0, 1920, 1080, 508, 286});
    records_ = 1;
  }

  EmfBuilder& Rec(uint32_t type, std::initializer_list<uint32_t> words) {
    Words({type, uint32_t(8 + 4 * words.size())});
    Words(words);
    ++records_;
    return *this;
  }
  // MM_HIMETRIC with the window origin at (0, 0), as the recorder starts.
  EmfBuilder& HiMetric() { return Rec(EMR_SETMAPMODE, {3}).Rec(EMR_SETWINDOWORGEX, {0, 0}); }
  EmfBuilder& Pen(uint32_t handle, uint32_t style, uint32_t width, uint32_t color) {
    return Rec(EMR_EXTCREATEPEN, {handle, 0, 0, 0, 0, style, width, 0, color, 0, 0});
  }
  EmfBuilder& Brush(uint32_t handle, uint32_t style, uint32_t color) {
    return Rec(EMR_CREATEBRUSHINDIRECT, {handle, style, color, 0});
  }
  EmfBuilder& Select(uint32_t handle) { return Rec(EMR_SELECTOBJECT, {handle}); }
  EmfBuilder& Delete(uint32_t handle) { return Rec(EMR_DELETEOBJECT, {handle}); }
  EmfBuilder& Miter(float limit) {
    uint32_t bits;
    std::memcpy(&bits, &limit, sizeof bits);
    return Rec(EMR_SETMITERLIMIT, {bits});
  }
  EmfBuilder& Move(int32_t x, int32_t y) { return Rec(EMR_MOVETOEX, {uint32_t(x), uint32_t(y)}); }
  EmfBuilder& Line(int32_t x, int32_t y) { return Rec(EMR_LINETO, {uint32_t(x), uint32_t(y)}); }
  EmfBuilder& Begin() { return Rec(EMR_BEGINPATH, {}); }
  EmfBuilder& End() { return Rec(EMR_ENDPATH, {}); }
  EmfBuilder& Close() { return Rec(EMR_CLOSEFIGURE, {}); }
  EmfBuilder& StrokeAndFill() { return Rec(EMR_STROKEANDFILLPATH, {0, 0, 0, 0}); }
  EmfBuilder& Fill() { return Rec(EMR_FILLPATH, {0, 0, 0, 0}); }
  // A closed rectangle figure from (x0, y0) to (x1, y1).
  EmfBuilder& Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return Move(x0, y0).Line(x1, y0).Line(x1, y1).Line(x0, y1).Close();
  }

  // The metafile with its end-of-file record and the header's byte and
  // record counts filled in.
  std::vector<uint8_t> Bytes() const {
    EmfBuilder done = *this;
    done.Rec(EMR_EOF, {0, 16, 20});
    done.Put(48, uint32_t(done.bytes_.size()));
    done.Put(52, done.records_);
    return done.bytes_;
  }

 private:
  void Words(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words)
      for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(w >> (8 * i)));
  }
  void Put(size_t at, uint32_t w) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = uint8_t(w >> (8 * i));
  }

  std::vector<uint8_t> bytes_;
  uint32_t records_ = 0;
};

}  // namespace glyphor::test
