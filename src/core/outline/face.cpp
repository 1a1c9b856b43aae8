// SPDX-License-Identifier: MIT
#include "core/outline/face.h"

#include <algorithm>
#include <cmath>

#include FT_OUTLINE_H
#include FT_BBOX_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include <hb-ft.h>

namespace glyphor {

namespace {

// FreeType's own oblique shear for synthetic italics (FT_GlyphSlot_Oblique).
constexpr double kObliqueShear = 0x0366A / 65536.0;

GlyphOutline& Out(void* user) { return *static_cast<GlyphOutline*>(user); }

void Add(GlyphOutline& o, Op op, std::initializer_list<const FT_Vector*> points) {
  o.ops.push_back(op);
  for (const FT_Vector* p : points) o.xy.insert(o.xy.end(), {double(p->x), double(p->y)});
}

const FT_Outline_Funcs kCollect = {[](const FT_Vector* to, void* user) {
                                     Add(Out(user), Op::Move, {to});
                                     return 0;
                                   },
                                   [](const FT_Vector* to, void* user) {
                                     Add(Out(user), Op::Line, {to});
                                     return 0;
                                   },
                                   [](const FT_Vector* c, const FT_Vector* to, void* user) {
                                     Add(Out(user), Op::Conic, {c, to});
                                     return 0;
                                   },
                                   [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
                                     Add(Out(user), Op::Cubic, {c1, c2, to});
                                     return 0;
                                   },
                                   0,
                                   0};

}  // namespace

Face::Face(FT_Face ft, hb_blob_t* blob, std::string file, int index, bool synthBold, bool synthItalic)
    : ft_(ft), blob_(blob), file_(std::move(file)), index_(index), synthBold_(synthBold), synthItalic_(synthItalic) {
  upem_ = ft->units_per_EM ? ft->units_per_EM : 1000;
  boldStrength_ = synthBold ? std::max(1, upem_ / 24) : 0;
  ReadMetrics();
  CreateHbFont();
}

void Face::CreateHbFont() {
  hb_face_t* face = hb_face_create(blob_, static_cast<unsigned>(ft_->face_index));
  const bool readable = hb_face_get_glyph_count(face) > 0;
  if (readable) hb_ = hb_font_create(face);
  hb_face_destroy(face);
  if (readable) return;
  // HarfBuzz reads only OpenType files; FreeType reads the rest (Type 1,
  // WOFF2). Its advances come in 26.6 units of the size set, so an em of
  // upem pixels gives font units times 64, unhinted.
  FT_Set_Char_Size(ft_, 0, static_cast<FT_F26Dot6>(upem_) * 64, 72, 72);
  hb_ = hb_ft_font_create_referenced(ft_);
  hb_ft_font_set_load_flags(hb_, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
  hbPerUnit_ = 64;
  hb_font_set_scale(hb_, upem_ * 64, upem_ * 64);
}

Face::~Face() {
  hb_font_destroy(hb_);
  FT_Done_Face(ft_);
  hb_blob_destroy(blob_);
}

double Face::Advance(uint32_t gid) const {
  FT_Fixed adv = 0;
  FT_Get_Advance(ft_, gid, FT_LOAD_NO_SCALE, &adv);
  return static_cast<double>(adv + boldStrength_);
}

const GlyphOutline& Face::Outline(uint32_t gid) {
  auto it = outlines_.find(gid);
  if (it != outlines_.end()) return it->second;
  return outlines_.emplace(gid, LoadOutline(gid)).first->second;
}

bool Face::CounterClockwise() {
  if (orientation_ < 0) orientation_ = ProbeOrientation() ? 1 : 0;
  return orientation_ == 1;
}

// The way most of the face's first glyphs wind: one glyph drawn the other
// way round by mistake must not decide for the face.
bool Face::ProbeOrientation() {
  int votes = 0, seen = 0;
  for (FT_Long gid = 0; gid < ft_->num_glyphs && gid < 256 && seen < 15; ++gid) {
    if (FT_Load_Glyph(ft_, static_cast<FT_UInt>(gid), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
      continue;
    const FT_GlyphSlot slot = ft_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) continue;
    const FT_Orientation o = FT_Outline_Get_Orientation(&slot->outline);
    if (o == FT_ORIENTATION_NONE) continue;
    ++seen;
    votes += o == FT_ORIENTATION_POSTSCRIPT ? 1 : -1;
  }
  return votes > 0;
}

void Face::ReadMetrics() {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft_, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
  } else {
    winAscent = ft_->ascender;
    winDescent = -ft_->descender;
  }
  underlineThick = ft_->underline_thickness > 0 ? ft_->underline_thickness : upem_ / 20.0;
  underlinePos = ft_->underline_position != 0 ? ft_->underline_position : -upem_ / 10.0;
  if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
    strikeSize = os2->yStrikeoutSize;
    strikePos = os2->yStrikeoutPosition;
  } else {
    strikeSize = underlineThick;
    strikePos = upem_ * 0.26;
  }
}

GlyphOutline Face::LoadOutline(uint32_t gid) {
  GlyphOutline g;
  if (FT_Load_Glyph(ft_, gid, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return g;
  FT_GlyphSlot slot = ft_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) return g;
  FT_Outline& outline = slot->outline;
  if (synthBold_) FT_Outline_EmboldenXY(&outline, boldStrength_, boldStrength_);
  if (synthItalic_) {
    for (int i = 0; i < outline.n_points; ++i)
      outline.points[i].x += static_cast<FT_Pos>(std::lround(outline.points[i].y * kObliqueShear));
  }
  FT_BBox box;
  FT_Outline_Get_BBox(&outline, &box);
  g.xMin = static_cast<double>(box.xMin);
  g.xMax = static_cast<double>(box.xMax);
  if (FT_Outline_Decompose(&outline, &kCollect, &g) != 0) return GlyphOutline{};
  g.empty = g.ops.empty();
  for (Op op : g.ops) g.points += op == Op::Move || op == Op::Line ? 1 : 3;
  return g;
}

}  // namespace glyphor
