#include "core/font_engine.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include <hb.h>

#include "core/errors.h"
#include "core/exe_path.h"
#include "core/face_cache.h"
#include "core/special_folders.h"
#include "core/text_utils.h"

namespace glyphor {

const char* LanguageForCharset(uint8_t charset) {
  switch (charset) {
    case 128: return "ja";
    case 129: return "ko";
    case 134: return "zh-cn";
    case 136: return "zh-tw";
    case 161: return "el";
    case 162: return "tr";
    case 177: return "he";
    case 178: return "ar";
    case 186: return "lt";
    case 204: return "ru";
    case 222: return "th";
    case 238: return "cs";
    default: return nullptr;
  }
}

namespace {

// The program's alias file, shipped in its data folder; empty when missing.
std::string AliasFile() {
  const std::string dir = DataDir();
  return dir.empty() ? std::string() : dir + "/glyphor-fonts.conf";
}

}  // namespace

void InstallFontAliasesForToolkit() {
  const std::string aliases = AliasFile();
  if (!aliases.empty())
    FcConfigParseAndLoad(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(aliases.c_str()), FcFalse);
}

namespace {

// FreeType's own oblique shear for synthetic italics (FT_GlyphSlot_Oblique).
constexpr double kObliqueShear = 0x0366A / 65536.0;

enum class Op : uint8_t { Move, Line, Conic, Cubic };

// One glyph's outline in font units, y up, after any synthetic style.
struct GlyphOutline {
  std::vector<Op> ops;
  std::vector<double> xy;  // Move/Line 1 point, Conic 2, Cubic 3
  double xMin = 0, xMax = 0;
  bool empty = true;
};

class Face {
 public:
  // Takes over `ft` and `blob`, the mapped file that `ft` reads from.
  Face(FT_Face ft, hb_blob_t* blob, bool synthBold, bool synthItalic)
      : ft_(ft), blob_(blob), synthBold_(synthBold), synthItalic_(synthItalic) {
    upem_ = ft->units_per_EM ? ft->units_per_EM : 1000;
    boldStrength_ = synthBold ? std::max(1, upem_ / 24) : 0;
    ReadMetrics();
    hb_face_t* face = hb_face_create(blob, static_cast<unsigned>(ft->face_index));
    hb_ = hb_font_create(face);
    hb_face_destroy(face);
  }
  ~Face() {
    hb_font_destroy(hb_);
    FT_Done_Face(ft_);
    hb_blob_destroy(blob_);
  }
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  int Upem() const { return upem_; }
  hb_font_t* Hb() const { return hb_; }
  FT_Face Ft() const { return ft_; }
  int BoldStrength() const { return boldStrength_; }
  std::string Family() const { return ft_->family_name ? ft_->family_name : ""; }

  uint32_t GlyphIndex(char32_t cp) const { return FT_Get_Char_Index(ft_, cp); }

  double Advance(uint32_t gid) const {
    FT_Fixed adv = 0;
    FT_Get_Advance(ft_, gid, FT_LOAD_NO_SCALE, &adv);
    return static_cast<double>(adv + boldStrength_);
  }

  const GlyphOutline& Outline(uint32_t gid) {
    auto it = outlines_.find(gid);
    if (it != outlines_.end()) return it->second;
    return outlines_.emplace(gid, LoadOutline(gid)).first->second;
  }

  double winAscent = 0, winDescent = 0;      // font units, descent positive
  double underlinePos = 0, underlineThick = 0;  // centre of the line, above baseline positive
  double strikePos = 0, strikeSize = 0;         // top of the bar, above baseline positive

 private:
  void ReadMetrics() {
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

  GlyphOutline LoadOutline(uint32_t gid) {
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

    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* user) {
      auto* o = static_cast<GlyphOutline*>(user);
      o->ops.push_back(Op::Move);
      o->xy.insert(o->xy.end(), {double(to->x), double(to->y)});
      return 0;
    };
    funcs.line_to = [](const FT_Vector* to, void* user) {
      auto* o = static_cast<GlyphOutline*>(user);
      o->ops.push_back(Op::Line);
      o->xy.insert(o->xy.end(), {double(to->x), double(to->y)});
      return 0;
    };
    funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* user) {
      auto* o = static_cast<GlyphOutline*>(user);
      o->ops.push_back(Op::Conic);
      o->xy.insert(o->xy.end(), {double(c->x), double(c->y), double(to->x), double(to->y)});
      return 0;
    };
    funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
      auto* o = static_cast<GlyphOutline*>(user);
      o->ops.push_back(Op::Cubic);
      o->xy.insert(o->xy.end(), {double(c1->x), double(c1->y), double(c2->x), double(c2->y),
                                 double(to->x), double(to->y)});
      return 0;
    };
    if (FT_Outline_Decompose(&outline, &funcs, &g) != 0) return GlyphOutline{};
    g.empty = g.ops.empty();
    return g;
  }

  FT_Face ft_;
  hb_blob_t* blob_;
  hb_font_t* hb_ = nullptr;
  int upem_ = 1000;
  bool synthBold_, synthItalic_;
  int boldStrength_ = 0;
  std::unordered_map<uint32_t, GlyphOutline> outlines_;
};

// A face found for one request (name, style, language), with the faces that
// stand in for the characters it lacks.
struct Primary {
  Face* face = nullptr;
  TFontSpec spec;
  FcPattern* pattern = nullptr;  // the request after substitution, made when needed
  FcFontSet* sorted = nullptr;   // fallback order, made when first needed
  std::unordered_map<char32_t, Face*> fallback;
  bool bold = false, italic = false;
};

class Engine {
 public:
  static Engine& Instance() {
    static Engine engine;
    return engine;
  }

  Primary& Find(const TFontSpec& spec) {
    const bool bold = spec.Style & fsBold, italic = spec.Style & fsItalic;
    const char* lang = LanguageForCharset(spec.Charset);
    std::string key = spec.Name + '\0' + char('0' + bold) + char('0' + italic) + (lang ? lang : "");
    auto it = primaries_.find(key);
    if (it != primaries_.end()) return it->second;

    Primary p;
    p.spec = spec;
    p.bold = bold;
    p.italic = italic;
    // The match of an earlier run, while fontconfig's configuration is as it was.
    if (!config_) {
      if (const auto known = matches_.Lookup(key)) p.face = OpenFile(known->file.c_str(), known->index, bold, italic);
    }
    if (!p.face) {
      p.pattern = Pattern(spec);
      FcResult result;
      FcPattern* match = FcFontMatch(Config(), p.pattern, &result);
      FaceLocation where;
      if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) where.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &where.index);
        FcPatternDestroy(match);
      }
      p.face = where.file.empty() ? nullptr : OpenFile(where.file.c_str(), where.index, bold, italic);
      if (!p.face) {
        FcPatternDestroy(p.pattern);
        throw EFontError(FormatMessage("フォント %s を読み込めません", {spec.Name}));
      }
      matches_.Store(key, where, Dependencies());
    }
    return primaries_.emplace(std::move(key), std::move(p)).first->second;
  }

  // The face fontconfig ranks best for a character the primary face lacks;
  // nullptr when no installed face has it.
  Face* Fallback(Primary& p, char32_t cp) {
    auto it = p.fallback.find(cp);
    if (it != p.fallback.end()) return it->second;
    if (!p.pattern) p.pattern = Pattern(p.spec);
    if (!p.sorted) {
      FcResult result;
      p.sorted = FcFontSort(Config(), p.pattern, FcTrue, nullptr, &result);
    }
    Face* found = nullptr;
    for (int i = 0; p.sorted && i < p.sorted->nfont && !found; ++i) {
      FcCharSet* cs = nullptr;
      if (FcPatternGetCharSet(p.sorted->fonts[i], FC_CHARSET, 0, &cs) != FcResultMatch || !FcCharSetHasChar(cs, cp))
        continue;
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(p.sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      FcPatternGetInteger(p.sorted->fonts[i], FC_INDEX, 0, &index);
      Face* face = OpenFile(reinterpret_cast<const char*>(file), index, p.bold, p.italic);
      if (face && face->GlyphIndex(cp) != 0) found = face;
    }
    p.fallback.emplace(cp, found);
    return found;
  }

 private:
  Engine() : matches_(DefaultFaceCachePath()) { FT_Init_FreeType(&ft_); }
  ~Engine() {
    for (auto& [key, p] : primaries_) {
      if (p.sorted) FcFontSetDestroy(p.sorted);
      if (p.pattern) FcPatternDestroy(p.pattern);
    }
    faces_.clear();
    if (config_) FcConfigDestroy(config_);
    FT_Done_FreeType(ft_);
  }

  // fontconfig's configuration with the program's aliases, loaded when first
  // needed: parsing it is most of a batch conversion's time.
  FcConfig* Config() {
    if (config_) return config_;
    config_ = FcInitLoadConfigAndFonts();
    aliases_ = AliasFile();
    if (!aliases_.empty())
      FcConfigParseAndLoad(config_, reinterpret_cast<const FcChar8*>(aliases_.c_str()), FcFalse);
    return config_;
  }

  FcPattern* Pattern(const TFontSpec& spec) {
    const char* lang = LanguageForCharset(spec.Charset);
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(spec.Name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, (spec.Style & fsBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, (spec.Style & fsItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    if (lang) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    FcConfigSubstitute(Config(), pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    return pat;
  }

  // Every file and folder that the loaded configuration came from: the
  // configuration files with their folders, the font folders, and the places
  // where a user's configuration would appear.
  std::vector<std::string> Dependencies() {
    std::vector<std::string> deps;
    auto add = [&](FcStrList* list, bool withFolder) {
      while (FcChar8* s = FcStrListNext(list)) {
        const std::string path = reinterpret_cast<const char*>(s);
        deps.push_back(path);
        if (withFolder && path.rfind('/') != std::string::npos) deps.push_back(path.substr(0, path.rfind('/')));
      }
      FcStrListDone(list);
    };
    add(FcConfigGetConfigFiles(config_), true);
    add(FcConfigGetFontDirs(config_), false);
    const std::string home = HomeFolder();
    deps.push_back(XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/fontconfig");
    deps.push_back(home + "/.fonts.conf");
    deps.push_back(home + "/.fonts.conf.d");
    if (!aliases_.empty()) deps.push_back(aliases_);
    std::sort(deps.begin(), deps.end());
    deps.erase(std::unique(deps.begin(), deps.end()), deps.end());
    return deps;
  }

  Face* OpenFile(const char* path, int index, bool bold, bool italic) {
    // fontconfig reports the requested weight and slant for faces it would
    // synthesise, so the face's own style decides what is made up.
    Mapped fresh;  // opened to learn the style, handed on below
    const std::string fileKey = std::string(path) + '\0' + std::to_string(index);
    auto known = styles_.find(fileKey);
    if (known == styles_.end()) known = styles_.emplace(fileKey, ReadStyle(path, index, fresh)).first;
    if (!known->second) return nullptr;
    const bool synthBold = bold && !known->second->bold;
    const bool synthItalic = italic && !known->second->italic;
    std::string key = fileKey + char('0' + synthBold) + char('0' + synthItalic);
    auto it = faces_.find(key);
    if (it != faces_.end()) {
      fresh.Close();
      return it->second.get();
    }
    if (!fresh.ft && !Open(path, index, fresh)) return nullptr;
    auto face = std::make_unique<Face>(fresh.ft, fresh.blob, synthBold, synthItalic);
    Face* raw = face.get();
    faces_.emplace(std::move(key), std::move(face));
    return raw;
  }

  struct Style {
    bool bold, italic;
  };
  // A font file mapped once, read by FreeType and HarfBuzz alike.
  struct Mapped {
    FT_Face ft = nullptr;
    hb_blob_t* blob = nullptr;
    void Close() {
      if (ft) FT_Done_Face(ft);
      if (blob) hb_blob_destroy(blob);
      ft = nullptr;
      blob = nullptr;
    }
  };
  bool Open(const char* path, int index, Mapped& m) {
    m.blob = hb_blob_create_from_file_or_fail(path);
    unsigned length = 0;
    const char* data = m.blob ? hb_blob_get_data(m.blob, &length) : nullptr;
    if (!data || FT_New_Memory_Face(ft_, reinterpret_cast<const FT_Byte*>(data), static_cast<FT_Long>(length), index,
                                    &m.ft) != 0) {
      m.ft = nullptr;
      m.Close();
      return false;
    }
    return true;
  }

  // Whether a font file is bold or italic by itself; nothing when FreeType
  // cannot load it as a scalable face. A face it opens is left in `opened`.
  std::optional<Style> ReadStyle(const char* path, int index, Mapped& opened) {
    if (!Open(path, index, opened)) return std::nullopt;
    FT_Face ft = opened.ft;
    if (!FT_IS_SCALABLE(ft)) {
      opened.Close();
      return std::nullopt;
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const bool heavy = os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600;
    return Style{(ft->style_flags & FT_STYLE_FLAG_BOLD) != 0 || heavy, (ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0};
  }

  FT_Library ft_ = nullptr;
  FcConfig* config_ = nullptr;
  std::string aliases_;
  FaceMatchCache matches_;
  std::map<std::string, std::unique_ptr<Face>> faces_;
  std::map<std::string, Primary> primaries_;
  std::map<std::string, std::optional<Style>> styles_;
};

// A glyph placed on the line: x of its origin and y of the baseline offset,
// in pixels relative to the text's origin.
struct PlacedGlyph {
  Face* face;
  uint32_t gid;
  double x, y;
};

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

struct Point2 {
  double x, y;
};

// Collects one contour in whole pixels, so that a final line back to the
// start can be left to the close flag.
class ContourWriter {
 public:
  explicit ContourWriter(TCanvas& canvas) : canvas_(canvas) {}

  void Move(TPoint p) {
    Flush();
    start_ = p;
    open_ = true;
  }
  void Line(TPoint p) { segs_.push_back({PT_LINETO, {p}}); }
  void Bezier(TPoint c1, TPoint c2, TPoint p) { segs_.push_back({PT_BEZIERTO, {c1, c2, p}}); }

  void Flush() {
    if (!open_) return;
    open_ = false;
    if (!segs_.empty() && segs_.back().kind == PT_LINETO && segs_.back().pts[0] == start_) segs_.pop_back();
    if (segs_.empty()) return;
    canvas_.MoveTo(start_);
    for (const auto& s : segs_) {
      if (s.kind == PT_LINETO)
        canvas_.LineTo(s.pts[0]);
      else
        canvas_.PolyBezierTo(s.pts, 3);
    }
    canvas_.CloseFigure();
    segs_.clear();
  }

 private:
  struct Seg {
    uint8_t kind;
    TPoint pts[3];
  };
  TCanvas& canvas_;
  TPoint start_;
  bool open_ = false;
  std::vector<Seg> segs_;
};

TPoint Round(Point2 p) {
  return {static_cast<int32_t>(std::lround(p.x)), static_cast<int32_t>(std::lround(p.y))};
}

}  // namespace

struct FontRun::Impl {
  Primary* primary;
  hb_language_t language;
  // The last layout, reused when the same text is measured and then drawn.
  std::string lastText;
  std::vector<PlacedGlyph> glyphs;
  double advance = 0;

  Face* FaceFor(char32_t cp) {
    Face* primaryFace = primary->face;
    if (primaryFace->GlyphIndex(cp) != 0) return primaryFace;
    Face* fb = Engine::Instance().Fallback(*primary, cp);
    return fb ? fb : primaryFace;
  }

  void Shape(Face* face, const std::u32string& text, size_t from, size_t to, double scaleEm) {
    hb_buffer_t* buf = hb_buffer_create();
    hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(text.data()), static_cast<int>(text.size()),
                        static_cast<unsigned>(from), static_cast<int>(to - from));
    hb_buffer_guess_segment_properties(buf);
    if (language) hb_buffer_set_language(buf, language);
    hb_shape(face->Hb(), buf, nullptr, 0);
    unsigned n = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
    const double s = scaleEm / face->Upem();
    for (unsigned i = 0; i < n; ++i) {
      glyphs.push_back({face, info[i].codepoint, advance + pos[i].x_offset * s, -pos[i].y_offset * s});
      const double bold = pos[i].x_advance != 0 ? face->BoldStrength() : 0;
      advance += (pos[i].x_advance + bold) * s;
    }
    hb_buffer_destroy(buf);
  }

  void Layout(std::string_view text, int em) {
    if (!glyphs.empty() && text == lastText) return;
    lastText.assign(text);
    glyphs.clear();
    advance = 0;
    std::u32string cps;
    for (char32_t c : DecodeUtf8(text))
      if (!IsControl(c)) cps.push_back(c);
    // Runs of characters that share a face; marks stay with their base.
    size_t runStart = 0;
    Face* runFace = nullptr;
    for (size_t i = 0; i < cps.size(); ++i) {
      const auto cat = hb_unicode_general_category(hb_unicode_funcs_get_default(), cps[i]);
      const bool mark = cat == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
                        cat == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK ||
                        cps[i] == 0x200D || (cps[i] >= 0xFE00 && cps[i] <= 0xFE0F);
      Face* f = mark && runFace && runFace->GlyphIndex(cps[i]) != 0 ? runFace : FaceFor(cps[i]);
      if (f != runFace) {
        if (runFace) Shape(runFace, cps, runStart, i, em);
        runFace = f;
        runStart = i;
      }
    }
    if (runFace) Shape(runFace, cps, runStart, cps.size(), em);
  }
};

FontRun::FontRun(const TFontSpec& font, int emPixels)
    : impl_(std::make_unique<Impl>()),
      em_(emPixels),
      underline_(font.Style & fsUnderline),
      strikeOut_(font.Style & fsStrikeOut) {
  impl_->primary = &Engine::Instance().Find(font);
  const char* lang = LanguageForCharset(font.Charset);
  impl_->language = lang ? hb_language_from_string(lang, -1) : nullptr;
  const Face* f = impl_->primary->face;
  const double s = static_cast<double>(em_) / f->Upem();
  ascent_ = static_cast<int>(std::lround(f->winAscent * s));
  descent_ = static_cast<int>(std::lround(f->winDescent * s));
}

FontRun::~FontRun() = default;

std::string FontRun::FamilyName() const { return impl_->primary->face->Family(); }

GlyphWidths FontRun::CharWidths(char32_t ch) const {
  GlyphWidths w;
  if (IsControl(ch)) return w;
  Face* face = impl_->FaceFor(ch);
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
  impl_->Layout(text, em_);
  width = static_cast<int32_t>(std::lround(impl_->advance));
  height = ascent_ + descent_;
}

void FontRun::DrawText(TCanvas& canvas, int32_t x, int32_t y, std::string_view text) const {
  impl_->Layout(text, em_);
  const double baseline = y + ascent_;
  ContourWriter out(canvas);
  for (const PlacedGlyph& pg : impl_->glyphs) {
    const GlyphOutline& g = pg.face->Outline(pg.gid);
    const double s = static_cast<double>(em_) / pg.face->Upem();
    const double ox = x + pg.x, oy = baseline + pg.y;
    auto at = [&](size_t k) { return Point2{ox + g.xy[k] * s, oy - g.xy[k + 1] * s}; };
    Point2 current{ox, oy};
    size_t k = 0;
    for (Op op : g.ops) {
      switch (op) {
        case Op::Move:
          current = at(k);
          out.Move(Round(current));
          k += 2;
          break;
        case Op::Line:
          current = at(k);
          out.Line(Round(current));
          k += 2;
          break;
        case Op::Conic: {
          // A quadratic segment raised exactly to a cubic one.
          const Point2 q = at(k), p = at(k + 2);
          const Point2 c1{current.x + 2.0 / 3 * (q.x - current.x), current.y + 2.0 / 3 * (q.y - current.y)};
          const Point2 c2{p.x + 2.0 / 3 * (q.x - p.x), p.y + 2.0 / 3 * (q.y - p.y)};
          out.Bezier(Round(c1), Round(c2), Round(p));
          current = p;
          k += 4;
          break;
        }
        case Op::Cubic: {
          const Point2 c1 = at(k), c2 = at(k + 2), p = at(k + 4);
          out.Bezier(Round(c1), Round(c2), Round(p));
          current = p;
          k += 6;
          break;
        }
      }
    }
    out.Flush();
  }

  // Underline and strike-out: closed rectangles across the advance width.
  const Face* f = impl_->primary->face;
  const double s = static_cast<double>(em_) / f->Upem();
  const int32_t x0 = x, x1 = x + static_cast<int32_t>(std::lround(impl_->advance));
  auto bar = [&](double top, double thickness) {
    const int32_t t = static_cast<int32_t>(std::lround(top));
    const int32_t b = t + std::max<int32_t>(1, static_cast<int32_t>(std::lround(thickness)));
    canvas.MoveTo({x0, t});
    canvas.LineTo({x1, t});
    canvas.LineTo({x1, b});
    canvas.LineTo({x0, b});
    canvas.CloseFigure();
  };
  if (x1 > x0 && underline_) bar(baseline - (f->underlinePos + f->underlineThick / 2) * s, f->underlineThick * s);
  if (x1 > x0 && strikeOut_) bar(baseline - f->strikePos * s, f->strikeSize * s);
}

}  // namespace glyphor
