// SPDX-License-Identifier: MIT
// One font face, opened from a file mapped once and read by FreeType
// (outlines, metrics) and HarfBuzz (shaping) alike, with the synthetic bold
// or italic it is asked to make up. Outlines are kept per glyph, in font
// units, y up, since the preview recaptures the same glyphs on every step.
// Formats HarfBuzz cannot read itself (Type 1, WOFF2) are shaped through
// FreeType.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb.h>

namespace glyphor {

enum class Op : uint8_t { Move, Line, Conic, Cubic };

// One glyph's outline in font units, y up, after any synthetic style.
struct GlyphOutline {
  std::vector<Op> ops;
  std::vector<double> xy;  // Move/Line 1 point, Conic 2, Cubic 3
  double xMin = 0, xMax = 0;
  size_t points = 0;  // what its contours give a path: a curve three, a move or line one
  bool empty = true;
};

class Face {
 public:
  // Takes over `ft` and `blob`, the mapped file that `ft` reads from; `file`
  // and `index` say where the face came from.
  Face(FT_Face ft, hb_blob_t* blob, std::string file, int index, bool synthBold, bool synthItalic);
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  int Upem() const { return upem_; }
  hb_font_t* Hb() const { return hb_; }
  // HarfBuzz's positions per font unit: 1, or 64 where FreeType shapes.
  double HbUnitsPerFontUnit() const { return hbPerUnit_; }
  FT_Face Ft() const { return ft_; }
  int BoldStrength() const { return boldStrength_; }
  std::string Family() const { return ft_->family_name ? ft_->family_name : ""; }
  const std::string& File() const { return file_; }
  int Index() const { return index_; }

  uint32_t GlyphIndex(char32_t cp) const { return FT_Get_Char_Index(ft_, cp); }
  // Advance in font units, synthetic emboldening included.
  double Advance(uint32_t gid) const;
  const GlyphOutline& Outline(uint32_t gid);
  // Whether the face's outlines wind counter-clockwise (y up), as PostScript
  // outlines do; TrueType ones wind clockwise. Shapes that must merge with
  // the glyphs under the non-zero rule wind the same way.
  bool CounterClockwise();

  double winAscent = 0, winDescent = 0;         // font units, descent positive
  double underlinePos = 0, underlineThick = 0;  // centre of the line, above baseline positive
  double strikePos = 0, strikeSize = 0;         // top of the bar, above baseline positive

 private:
  void ReadMetrics();
  void CreateHbFont();
  GlyphOutline LoadOutline(uint32_t gid);
  bool ProbeOrientation();

  FT_Face ft_;
  hb_blob_t* blob_;
  hb_font_t* hb_ = nullptr;
  double hbPerUnit_ = 1;
  std::string file_;
  int index_ = 0;
  int upem_ = 1000;
  int orientation_ = -1;  // unknown until asked; then 1 counter-clockwise, 0 clockwise
  bool synthBold_, synthItalic_;
  int boldStrength_ = 0;
  std::unordered_map<uint32_t, GlyphOutline> outlines_;
};

}  // namespace glyphor
