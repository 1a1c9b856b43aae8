// SPDX-License-Identifier: MIT
// The enhanced-metafile format ([MS-EMF]) as the program's recorder, WMF
// converter and preview player use it: record types, the pen, brush,
// mapping-mode and fill-mode constants, stock objects, the header's field
// offsets and the reference screen. The one place these numbers are written.
#pragma once

#include <cstdint>

namespace glyphor {

// Record types ([MS-EMF] 2.1.1).
enum EmrType : uint32_t {
  EMR_HEADER = 1,
  EMR_POLYBEZIERTO = 5,
  EMR_SETWINDOWORGEX = 10,
  EMR_EOF = 14,
  EMR_SETMAPMODE = 17,
  EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19,
  EMR_MOVETOEX = 27,
  EMR_SELECTOBJECT = 37,
  EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40,
  EMR_LINETO = 54,
  EMR_SETMITERLIMIT = 58,
  EMR_BEGINPATH = 59,
  EMR_ENDPATH = 60,
  EMR_CLOSEFIGURE = 61,
  EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63,
  EMR_POLYBEZIERTO16 = 88,
  EMR_EXTCREATEPEN = 95,
};

// Mapping modes ([MS-EMF] 2.1.21).
inline constexpr uint32_t MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
                          MM_TWIPS = 6;

// Logical units per inch of the metric and English mapping modes, whose y
// grows upwards; 0 where a logical unit is one device pixel (MM_TEXT and the
// scalable modes).
constexpr int64_t LogicalUnitsPerInch(uint32_t mapMode) {
  switch (mapMode) {
    case MM_LOMETRIC: return 254;
    case MM_HIMETRIC: return 2540;
    case MM_LOENGLISH: return 100;
    case MM_HIENGLISH: return 1000;
    case MM_TWIPS: return 1440;
    default: return 0;
  }
}

// Pen style bits and brush styles ([MS-WMF] PenStyle, BrushStyle).
inline constexpr uint32_t PS_SOLID = 0, PS_NULL = 5, PS_STYLE_MASK = 0xF;
inline constexpr uint32_t PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00;
inline constexpr uint32_t PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000;
inline constexpr uint32_t PS_GEOMETRIC = 0x10000;
inline constexpr uint32_t BS_SOLID = 0, BS_NULL = 1;

// Polygon fill modes.
inline constexpr uint32_t ALTERNATE = 1, WINDING = 2;

// Stock objects: the flag and the index, as they stand in EMR_SELECTOBJECT.
inline constexpr uint32_t StockObjectFlag = 0x80000000;
enum StockObject : uint32_t {
  WHITE_BRUSH = 0,
  LTGRAY_BRUSH = 1,
  GRAY_BRUSH = 2,
  DKGRAY_BRUSH = 3,
  BLACK_BRUSH = 4,
  NULL_BRUSH = 5,
  WHITE_PEN = 6,
  BLACK_PEN = 7,
  NULL_PEN = 8,
  OEM_FIXED_FONT = 10,
  DC_BRUSH = 18,
  DC_PEN = 19,
};
inline constexpr uint32_t StockWhiteBrush = StockObjectFlag | WHITE_BRUSH,
                          StockNullBrush = StockObjectFlag | NULL_BRUSH, StockBlackPen = StockObjectFlag | BLACK_PEN,
                          StockNullPen = StockObjectFlag | NULL_PEN;

enum class StockKind { None, Pen, Brush, Other };
// What a stock object index (without the flag) stands for: Other for the
// fonts and the palette, None for indexes that name nothing.
constexpr StockKind StockObjectKind(uint32_t index) {
  if (index <= NULL_BRUSH || index == DC_BRUSH) return StockKind::Brush;
  if ((index >= WHITE_PEN && index <= NULL_PEN) || index == DC_PEN) return StockKind::Pen;
  if (index >= OEM_FIXED_FONT && index < DC_BRUSH) return StockKind::Other;
  return StockKind::None;
}

// EMR_HEADER fields: byte offsets from the start of the record.
namespace EmfHeaderAt {
inline constexpr uint32_t Bounds = 8, Frame = 24, Signature = 40, Version = 44, Bytes = 48, Records = 52, Handles = 56,
                          Device = 72, Millimeters = 80, Micrometers = 100;
}
inline constexpr uint32_t EmfHeaderSize = 108;        // with szlMicrometers, as the recorder writes it
inline constexpr uint32_t EmfHeaderMinSize = 88;      // the base header readers must accept
inline constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
inline constexpr uint32_t EmfVersion = 0x00010000;

// The reference screen: 1920 x 1080 pixels at 96 pixels per inch.
inline constexpr int32_t RefScreenPixelsX = 1920, RefScreenPixelsY = 1080;
inline constexpr int32_t RefScreenMillimetersX = 508, RefScreenMillimetersY = 286;
inline constexpr int32_t RefScreenMicrometersX = 508000, RefScreenMicrometersY = 285750;
inline constexpr int32_t RefScreenPpi = 96;

}  // namespace glyphor
