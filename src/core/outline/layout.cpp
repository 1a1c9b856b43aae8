// SPDX-License-Identifier: MIT
#include "core/outline/layout.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include <fribidi.h>

#include "core/outline/glyph_outline.h"
#include "core/platform/errors.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Marks, joiners and variation selectors stay in their base character's run.
bool StaysWithBase(char32_t c) {
  if (c < 0x300) return false;  // no mark comes before the combining diacritics
  const auto cat = hb_unicode_general_category(hb_unicode_funcs_get_default(), c);
  return cat == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK || cat == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK ||
         c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F);
}

// Whether the algorithm can only give every character level 0: no
// right-to-left letter, no Arabic digit and no explicit embedding, override
// or isolate. Numbers and neutrals then resolve to the paragraph's left to
// right. Nothing before Hebrew is anything else.
bool AllLeftToRight(const std::u32string& cps) {
  for (char32_t c : cps) {
    if (c < 0x590) continue;
    switch (fribidi_get_bidi_type(c)) {
      case FRIBIDI_TYPE_LTR:
      case FRIBIDI_TYPE_EN:
      case FRIBIDI_TYPE_ES:
      case FRIBIDI_TYPE_ET:
      case FRIBIDI_TYPE_CS:
      case FRIBIDI_TYPE_NSM:
      case FRIBIDI_TYPE_BN:
      case FRIBIDI_TYPE_BS:
      case FRIBIDI_TYPE_SS:
      case FRIBIDI_TYPE_WS:
      case FRIBIDI_TYPE_ON: break;
      default: return false;
    }
  }
  return true;
}

// Embedding levels of the bidirectional algorithm for one paragraph, its
// direction taken from its first strong character (left to right when it
// has none). Odd levels run right to left.
std::vector<FriBidiLevel> BidiLevels(const std::u32string& cps) {
  const auto n = static_cast<FriBidiStrIndex>(cps.size());
  std::vector<FriBidiLevel> levels(cps.size(), 0);
  if (n == 0 || AllLeftToRight(cps)) return levels;
  const auto* str = reinterpret_cast<const FriBidiChar*>(cps.data());
  std::vector<FriBidiCharType> types(cps.size());
  std::vector<FriBidiBracketType> brackets(cps.size());
  fribidi_get_bidi_types(str, n, types.data());
  fribidi_get_bracket_types(str, n, types.data(), brackets.data());
  FriBidiParType direction = FRIBIDI_PAR_ON;
  if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction, levels.data()))
    return std::vector<FriBidiLevel>(cps.size(), 0);
  // Rule L1: white space at the end of the line goes back to the paragraph's level.
  if (!fribidi_reorder_line(FRIBIDI_FLAGS_DEFAULT, types.data(), n, 0, direction, levels.data(), nullptr, nullptr))
    return std::vector<FriBidiLevel>(cps.size(), 0);
  return levels;
}

struct Run {
  Face* face;
  size_t from, to;
  FriBidiLevel level;
};

// Rule L2: from the highest level down to the lowest odd one, every stretch
// of runs at that level or above is reversed.
std::vector<size_t> VisualOrder(const std::vector<Run>& runs) {
  std::vector<size_t> order(runs.size());
  std::iota(order.begin(), order.end(), 0);
  FriBidiLevel high = 0, lowOdd = 255;
  for (const Run& r : runs) {
    high = std::max(high, r.level);
    if (r.level % 2) lowOdd = std::min(lowOdd, r.level);
  }
  for (int level = high; level >= lowOdd && level > 0; --level) {
    for (size_t i = 0; i < order.size();) {
      if (runs[order[i]].level < level) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < order.size() && runs[order[j]].level >= level) ++j;
      std::reverse(order.begin() + static_cast<long>(i), order.begin() + static_cast<long>(j));
      i = j;
    }
  }
  return order;
}

}  // namespace

struct FontRun::Line {
  std::string text;
  bool laidOut = false;
  std::u32string cps;               // the text's characters, control characters left out
  std::vector<Run> runs;            // in the text's order
  std::vector<PlacedGlyph> glyphs;  // left to right
  double advance = 0;
  hb_language_t language = nullptr;

  void Shape(const Run& run, double em) {
    hb_buffer_t* buf = hb_buffer_create();
    hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(cps.data()), static_cast<int>(cps.size()),
                        static_cast<unsigned>(run.from), static_cast<int>(run.to - run.from));
    hb_buffer_set_direction(buf, run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buf);
    if (language) hb_buffer_set_language(buf, language);
    Face* face = run.face;
    hb_shape(face->Hb(), buf, nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
    // HarfBuzz gives right-to-left runs' glyphs left to right already.
    const double k = face->HbUnitsPerFontUnit();
    const double s = em / (face->Upem() * k);
    for (unsigned i = 0; i < n; ++i) {
      const double bold = pos[i].x_advance != 0 ? face->BoldStrength() * k : 0;
      const double step = (pos[i].x_advance + bold) * s;
      const double offset = pos[i].x_offset * s;
      glyphs.push_back({face, info[i].codepoint, advance + offset, -pos[i].y_offset * s, offset, step});
      advance += step;
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

FontRun::~FontRun() { engine_.SaveMatches(); }

std::string FontRun::FamilyName() const { return match_->face->Family(); }

Face* FontRun::FaceFor(char32_t cp) const {
  Face* primary = match_->face;
  if (primary->GlyphIndex(cp) != 0) return primary;
  Face* fallback = engine_.Fallback(*match_, cp);
  return fallback ? fallback : primary;
}

const FontRun::Line& FontRun::Layout(std::string_view text) const {
  Line& line = *line_;
  if (line.laidOut && text == line.text) return line;
  line.laidOut = false;
  line.text.assign(text);
  line.cps.clear();
  line.runs.clear();
  line.glyphs.clear();
  line.advance = 0;
  line.cps.reserve(text.size());
  for (char32_t c : DecodeUtf8(text))
    if (!IsControl(c)) line.cps.push_back(c);
  const std::u32string& cps = line.cps;
  const std::vector<FriBidiLevel> levels = BidiLevels(cps);
  // Runs of characters that share a face and a direction. A long text
  // repeats few characters: each one's face is looked up once.
  std::unordered_map<char32_t, Face*> faces;
  Face* ascii[0x80] = {};
  auto faceFor = [&](char32_t c) {
    Face*& f = c < 0x80 ? ascii[c] : faces[c];
    if (!f) f = FaceFor(c);
    return f;
  };
  Face* runFace = nullptr;
  for (size_t i = 0; i < cps.size(); ++i) {
    Face* f = StaysWithBase(cps[i]) && runFace && runFace->GlyphIndex(cps[i]) != 0 ? runFace : faceFor(cps[i]);
    if (f != runFace || levels[i] != line.runs.back().level) line.runs.push_back({f, i, i, levels[i]});
    runFace = f;
    line.runs.back().to = i + 1;
  }
  line.glyphs.reserve(cps.size());
  for (size_t r : VisualOrder(line.runs)) line.Shape(line.runs[r], em_);
  // Boxes for a few missing characters show what is missing; a text none of
  // whose characters any installed face has would give nothing but boxes.
  if (!cps.empty() &&
      std::all_of(line.glyphs.begin(), line.glyphs.end(), [](const PlacedGlyph& g) { return g.gid == 0; }))
    throw EFontError(FormatMessage("フォント %s にはテキストの文字がありません", {match_->spec.Name}));
  line.laidOut = true;
  return line;
}

GlyphWidths FontRun::Widths(const PlacedGlyph& pg) const {
  GlyphWidths w;
  const double s = static_cast<double>(em_) / pg.face->Upem();
  const GlyphOutline& g = pg.face->Outline(pg.gid);
  if (g.empty) {
    w.B = pg.advance;
    return w;
  }
  w.A = g.xMin * s;
  w.B = (g.xMax - g.xMin) * s;
  w.C = pg.advance - w.A - w.B;
  return w;
}

GlyphWidths FontRun::CharWidths(char32_t ch) const {
  if (IsControl(ch)) return {};
  Face* face = FaceFor(ch);
  const uint32_t gid = face->GlyphIndex(ch);
  const double s = static_cast<double>(em_) / face->Upem();
  return Widths({face, gid, 0, 0, 0, face->Advance(gid) * s});
}

GlyphWidths FontRun::FirstGlyphWidths(std::string_view text) const {
  const Line& line = Layout(text);
  if (line.glyphs.empty()) return {};
  const PlacedGlyph& g = line.glyphs.front();
  GlyphWidths w = Widths(g);
  w.A += g.xOffset;
  return w;
}

GlyphWidths FontRun::LastGlyphWidths(std::string_view text) const {
  const Line& line = Layout(text);
  if (line.glyphs.empty()) return {};
  const PlacedGlyph& g = line.glyphs.back();
  GlyphWidths w = Widths(g);
  w.C -= g.xOffset;
  return w;
}

std::vector<FaceRun> FontRun::FaceRuns(std::string_view text) const {
  const Line& line = Layout(text);
  std::vector<FaceRun> out;
  for (const Run& r : line.runs) {
    if (out.empty() || out.back().face != r.face) out.push_back({r.face, {}, r.face != match_->face});
    out.back().text.append(line.cps, r.from, r.to - r.from);
  }
  return out;
}

size_t FontRun::PathPointsBound(std::string_view text) const {
  const Line& line = Layout(text);
  size_t points = 0;
  for (const PlacedGlyph& g : line.glyphs) points += g.face->Outline(g.gid).points;
  // A bar is four points, cut at most once a glyph.
  const size_t bars = size_t{underline_} + size_t{strikeOut_};
  return points + bars * 4 * (line.glyphs.size() + 1);
}

void FontRun::TextExtent(std::string_view text, int32_t& width, int32_t& height) const {
  width = WholePixel(Layout(text).advance);
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
  if (underline_)
    DrawBars(canvas, line, x, baseline - (f->underlinePos + f->underlineThick / 2) * s, f->underlineThick * s);
  if (strikeOut_) DrawBars(canvas, line, x, baseline - f->strikePos * s, f->strikeSize * s);
}

// One bar across the line, cut where the glyphs above it change winding (a
// TrueType face's text with a PostScript-outline fallback), each piece wound
// as the glyphs it crosses. Glyphs without ink decide nothing.
void FontRun::DrawBars(TCanvas& canvas, const Line& line, int32_t x, double top, double thickness) const {
  const int32_t end = WholePixel(x + line.advance);
  int32_t from = x;
  int winding = -1;  // of the piece under way; -1 before the first inked glyph
  for (const PlacedGlyph& g : line.glyphs) {
    if (g.face->Outline(g.gid).empty) continue;
    const int w = g.face->CounterClockwise() ? 1 : 0;
    if (winding >= 0 && w != winding) {
      const int32_t at = std::clamp(WholePixel(x + g.x - g.xOffset), from, end);
      if (at > from) EmitBar(canvas, from, at, top, thickness, winding == 1);
      from = at;
    }
    winding = w;
  }
  if (winding < 0) winding = match_->face->CounterClockwise() ? 1 : 0;
  if (end > from) EmitBar(canvas, from, end, top, thickness, winding == 1);
}

}  // namespace glyphor
