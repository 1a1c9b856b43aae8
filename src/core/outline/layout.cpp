#include "core/outline/layout.h"

#include <cmath>

#include "core/outline/glyph_outline.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Marks, joiners and variation selectors stay in their base character's run.
bool StaysWithBase(char32_t c) {
  const auto cat = hb_unicode_general_category(hb_unicode_funcs_get_default(), c);
  return cat == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK || cat == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK ||
         c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
}

}  // namespace

struct FontRun::Line {
  std::string text;
  std::vector<PlacedGlyph> glyphs;
  double advance = 0;
  hb_language_t language = nullptr;

  void Shape(Face* face, const std::u32string& cps, size_t from, size_t to, double em) {
    hb_buffer_t* buf = hb_buffer_create();
    hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(cps.data()), static_cast<int>(cps.size()),
                        static_cast<unsigned>(from), static_cast<int>(to - from));
    hb_buffer_guess_segment_properties(buf);
    if (language) hb_buffer_set_language(buf, language);
    hb_shape(face->Hb(), buf, nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
    const double s = em / face->Upem();
    for (unsigned i = 0; i < n; ++i) {
      glyphs.push_back({face, info[i].codepoint, advance + pos[i].x_offset * s, -pos[i].y_offset * s});
      const double bold = pos[i].x_advance != 0 ? face->BoldStrength() : 0;
      advance += (pos[i].x_advance + bold) * s;
    }
    hb_buffer_destroy(buf);
  }
};

FontRun::FontRun(const TFontSpec& font, int emPixels, FontEngine& engine)
    : engine_(engine),
      match_(&engine.Find(font)),
      em_(emPixels),
      underline_(font.Style & fsUnderline),
      strikeOut_(font.Style & fsStrikeOut),
      line_(std::make_unique<Line>()) {
  const char* lang = LanguageForCharset(font.Charset);
  line_->language = lang ? hb_language_from_string(lang, -1) : nullptr;
  const Face* f = match_->face;
  const double s = static_cast<double>(em_) / f->Upem();
  ascent_ = static_cast<int>(std::lround(f->winAscent * s));
  descent_ = static_cast<int>(std::lround(f->winDescent * s));
}

FontRun::~FontRun() = default;

std::string FontRun::FamilyName() const { return match_->face->Family(); }

Face* FontRun::FaceFor(char32_t cp) const {
  Face* primary = match_->face;
  if (primary->GlyphIndex(cp) != 0) return primary;
  Face* fallback = engine_.Fallback(*match_, cp);
  return fallback ? fallback : primary;
}

const FontRun::Line& FontRun::Layout(std::string_view text) const {
  Line& line = *line_;
  if (!line.glyphs.empty() && text == line.text) return line;
  line.text.assign(text);
  line.glyphs.clear();
  line.advance = 0;
  std::u32string cps;
  for (char32_t c : DecodeUtf8(text))
    if (!IsControl(c)) cps.push_back(c);
  // Runs of characters that share a face.
  size_t runStart = 0;
  Face* runFace = nullptr;
  for (size_t i = 0; i < cps.size(); ++i) {
    Face* f = StaysWithBase(cps[i]) && runFace && runFace->GlyphIndex(cps[i]) != 0 ? runFace : FaceFor(cps[i]);
    if (f != runFace) {
      if (runFace) line.Shape(runFace, cps, runStart, i, em_);
      runFace = f;
      runStart = i;
    }
  }
  if (runFace) line.Shape(runFace, cps, runStart, cps.size(), em_);
  return line;
}

GlyphWidths FontRun::CharWidths(char32_t ch) const {
  GlyphWidths w;
  if (IsControl(ch)) return w;
  Face* face = FaceFor(ch);
  const uint32_t gid = face->GlyphIndex(ch);
  const double s = static_cast<double>(em_) / face->Upem();
  const double advance = face->Advance(gid) * s;
  const GlyphOutline& g = face->Outline(gid);
  if (g.empty) {
    w.B = advance;
    return w;
  }
  w.A = g.xMin * s;
  w.B = (g.xMax - g.xMin) * s;
  w.C = advance - w.A - w.B;
  return w;
}

void FontRun::TextExtent(std::string_view text, int32_t& width, int32_t& height) const {
  width = static_cast<int32_t>(std::lround(Layout(text).advance));
  height = ascent_ + descent_;
}

void FontRun::DrawText(TCanvas& canvas, int32_t x, int32_t y, std::string_view text) const {
  const Line& line = Layout(text);
  const double baseline = y + ascent_;
  EmitGlyphs(canvas, line.glyphs, em_, x, baseline);

  // Underline and strike-out: closed rectangles across the advance width,
  // in the primary face's metrics.
  const Face* f = match_->face;
  const double s = static_cast<double>(em_) / f->Upem();
  const int32_t x0 = x, x1 = x + static_cast<int32_t>(std::lround(line.advance));
  if (x1 <= x0) return;
  if (underline_)
    EmitBar(canvas, x0, x1, baseline - (f->underlinePos + f->underlineThick / 2) * s, f->underlineThick * s);
  if (strikeOut_) EmitBar(canvas, x0, x1, baseline - f->strikePos * s, f->strikeSize * s);
}

}  // namespace glyphor
