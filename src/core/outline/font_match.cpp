#include "core/outline/font_match.h"

#include <algorithm>

#include FT_TRUETYPE_TABLES_H

#include "core/platform/errors.h"
#include "core/platform/exe_path.h"
#include "core/platform/special_folders.h"

namespace glyphor {

namespace {

// The program's alias file, shipped in its data folder; empty when missing.
std::string AliasFile() {
  const std::string dir = DataDir();
  return dir.empty() ? std::string() : dir + "/glyphor-fonts.conf";
}

const FcChar8* Fc(const std::string& s) { return reinterpret_cast<const FcChar8*>(s.c_str()); }

// The file and face index fontconfig names in a pattern.
std::optional<FaceLocation> LocationOf(FcPattern* pattern) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  FaceLocation where{reinterpret_cast<const char*>(file), 0};
  FcPatternGetInteger(pattern, FC_INDEX, 0, &where.index);
  return where;
}

}  // namespace

void InstallFontAliasesForToolkit() {
  const std::string aliases = AliasFile();
  if (!aliases.empty()) FcConfigParseAndLoad(FcConfigGetCurrent(), Fc(aliases), FcFalse);
}

// A font file mapped once, read by FreeType and HarfBuzz alike.
struct FontEngine::Mapped {
  FT_Face ft = nullptr;
  hb_blob_t* blob = nullptr;
  ~Mapped() { Close(); }
  void Close() {
    if (ft) FT_Done_Face(ft);
    if (blob) hb_blob_destroy(blob);
    ft = nullptr;
    blob = nullptr;
  }
  // Hands both over to a Face.
  void Release() {
    ft = nullptr;
    blob = nullptr;
  }
};

FontEngine::FontEngine(std::string cachePath) : matches_(std::move(cachePath)) {
  FT_Library lib = nullptr;
  FT_Init_FreeType(&lib);
  ft_.reset(lib);
}

FontEngine::~FontEngine() {
  // Matches point into the faces; faces must go before the FreeType library.
  matchesByRequest_.clear();
  faces_.clear();
}

FontMatch& FontEngine::Find(const TFontSpec& spec) {
  const bool bold = spec.Style & fsBold, italic = spec.Style & fsItalic;
  const char* lang = LanguageForCharset(spec.Charset);
  std::string key = spec.Name + '\0' + char('0' + bold) + char('0' + italic) + (lang ? lang : "");
  auto it = matchesByRequest_.find(key);
  if (it != matchesByRequest_.end()) return it->second;

  FontMatch m;
  m.spec = spec;
  m.bold = bold;
  m.italic = italic;
  // The match of an earlier run, while fontconfig's configuration is as it was.
  if (!config_) {
    if (const auto known = matches_.Lookup(key)) m.face = OpenFile(known->file.c_str(), known->index, bold, italic);
  }
  if (!m.face) {
    m.pattern = Pattern(spec);
    FcResult result;
    const FcPatternHolder match(FcFontMatch(Config(), m.pattern.get(), &result));
    const std::optional<FaceLocation> where = match ? LocationOf(match.get()) : std::nullopt;
    m.face = where ? OpenFile(where->file.c_str(), where->index, bold, italic) : nullptr;
    if (!m.face) throw EFontError(FormatMessage("フォント %s を読み込めません", {spec.Name}));
    matches_.Store(key, *where, Dependencies());
  }
  return matchesByRequest_.emplace(std::move(key), std::move(m)).first->second;
}

Face* FontEngine::Fallback(FontMatch& m, char32_t cp) {
  auto it = m.fallback.find(cp);
  if (it != m.fallback.end()) return it->second;
  if (!m.pattern) m.pattern = Pattern(m.spec);
  if (!m.sorted) {
    FcResult result;
    m.sorted.reset(FcFontSort(Config(), m.pattern.get(), FcTrue, nullptr, &result));
  }
  Face* found = nullptr;
  for (int i = 0; m.sorted && i < m.sorted->nfont && !found; ++i) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(m.sorted->fonts[i], FC_CHARSET, 0, &cs) != FcResultMatch || !FcCharSetHasChar(cs, cp))
      continue;
    const auto where = LocationOf(m.sorted->fonts[i]);
    if (!where) continue;
    Face* face = OpenFile(where->file.c_str(), where->index, m.bold, m.italic);
    if (face && face->GlyphIndex(cp) != 0) found = face;
  }
  m.fallback.emplace(cp, found);
  return found;
}

// fontconfig's configuration with the program's aliases, loaded when first
// needed: parsing it is most of a batch conversion's time.
FcConfig* FontEngine::Config() {
  if (config_) return config_.get();
  config_.reset(FcInitLoadConfigAndFonts());
  aliases_ = AliasFile();
  if (!aliases_.empty()) FcConfigParseAndLoad(config_.get(), Fc(aliases_), FcFalse);
  return config_.get();
}

FcPatternHolder FontEngine::Pattern(const TFontSpec& spec) {
  const char* lang = LanguageForCharset(spec.Charset);
  FcPatternHolder pat(FcPatternCreate());
  FcPatternAddString(pat.get(), FC_FAMILY, Fc(spec.Name));
  FcPatternAddInteger(pat.get(), FC_WEIGHT, (spec.Style & fsBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat.get(), FC_SLANT, (spec.Style & fsItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat.get(), FC_SCALABLE, FcTrue);
  if (lang) FcPatternAddString(pat.get(), FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcConfigSubstitute(Config(), pat.get(), FcMatchPattern);
  FcDefaultSubstitute(pat.get());
  return pat;
}

// Every file and folder that the loaded configuration came from: the
// configuration files with their folders, the font folders, and the places
// where a user's configuration would appear.
std::vector<std::string> FontEngine::Dependencies() {
  std::vector<std::string> deps;
  auto add = [&](FcStrListHolder list, bool withFolder) {
    while (FcChar8* s = FcStrListNext(list.get())) {
      const std::string path = reinterpret_cast<const char*>(s);
      deps.push_back(path);
      if (withFolder && path.rfind('/') != std::string::npos) deps.push_back(path.substr(0, path.rfind('/')));
    }
  };
  add(FcStrListHolder(FcConfigGetConfigFiles(config_.get())), true);
  add(FcStrListHolder(FcConfigGetFontDirs(config_.get())), false);
  const std::string home = HomeFolder();
  deps.push_back(XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/fontconfig");
  deps.push_back(home + "/.fonts.conf");
  deps.push_back(home + "/.fonts.conf.d");
  if (!aliases_.empty()) deps.push_back(aliases_);
  std::sort(deps.begin(), deps.end());
  deps.erase(std::unique(deps.begin(), deps.end()), deps.end());
  return deps;
}

Face* FontEngine::OpenFile(const char* path, int index, bool bold, bool italic) {
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
  if (it != faces_.end()) return it->second.get();
  if (!fresh.ft && !Open(path, index, fresh)) return nullptr;
  auto face = std::make_unique<Face>(fresh.ft, fresh.blob, synthBold, synthItalic);
  fresh.Release();
  Face* raw = face.get();
  faces_.emplace(std::move(key), std::move(face));
  return raw;
}

bool FontEngine::Open(const char* path, int index, Mapped& m) {
  m.blob = hb_blob_create_from_file_or_fail(path);
  unsigned length = 0;
  const char* data = m.blob ? hb_blob_get_data(m.blob, &length) : nullptr;
  if (!data || FT_New_Memory_Face(ft_.get(), reinterpret_cast<const FT_Byte*>(data), static_cast<FT_Long>(length),
                                  index, &m.ft) != 0) {
    m.ft = nullptr;
    m.Close();
    return false;
  }
  return true;
}

// Whether a font file is bold or italic by itself; nothing when FreeType
// cannot load it as a scalable face. A face it opens is left in `opened`.
std::optional<FontEngine::Style> FontEngine::ReadStyle(const char* path, int index, Mapped& opened) {
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

FontEngine& SharedFontEngine() {
  static FontEngine engine(DefaultFaceCachePath());
  return engine;
}

}  // namespace glyphor
