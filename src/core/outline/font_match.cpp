// SPDX-License-Identifier: MIT
#include "core/outline/font_match.h"

#include <algorithm>

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include "core/outline/font_file.h"
#include "core/platform/errors.h"
#include "core/platform/exe_path.h"
#include "core/platform/special_folders.h"
#include "core/text/utf8.h"

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

// Family names compare as fontconfig compares them: ignoring case and blanks.
std::string Folded(std::string_view name) {
  std::string out;
  for (char c : name)
    if (c != ' ') out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

// Every family name a face gives itself, in any language its name table
// holds (IPAPGothic is also "IPAPゴシック"), folded.
std::vector<std::string> FamilyNames(FT_Face ft) {
  std::vector<std::string> names;
  if (ft->family_name) names.push_back(Folded(ft->family_name));
  const FT_UInt count = FT_Get_Sfnt_Name_Count(ft);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName n;
    if (FT_Get_Sfnt_Name(ft, i, &n) != 0) continue;
    if (n.name_id != TT_NAME_ID_FONT_FAMILY && n.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY) continue;
    std::u32string text;
    if (n.platform_id == TT_PLATFORM_MICROSOFT) {
      for (FT_UInt k = 0; k + 1 < n.string_len; k += 2)
        text += static_cast<char32_t>(n.string[k] << 8 | n.string[k + 1]);
    } else if (n.platform_id == TT_PLATFORM_MACINTOSH && n.encoding_id == TT_MAC_ID_ROMAN) {
      for (FT_UInt k = 0; k < n.string_len; ++k)
        if (n.string[k] < 0x80) text += static_cast<char32_t>(n.string[k]);
    }
    if (!text.empty()) names.push_back(Folded(EncodeUtf8(text)));
  }
  return names;
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

FontEngine::FontEngine(std::string cachePath) : matches_(std::move(cachePath), AliasFile()) {
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
  m.key = key;
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
  // The decision of an earlier run spares loading fontconfig's configuration
  // when the text needs a fallback face, as it is spared for the primary one.
  std::optional<Face*> known;
  if (!config_) {
    if (const auto decided = matches_.LookupFallback(m.key, cp)) {
      if (!*decided) {
        known = nullptr;
      } else if (Face* f = OpenFile((*decided)->file.c_str(), (*decided)->index, m.bold, m.italic);
                 f && f->GlyphIndex(cp) != 0) {
        known = f;
      }
    }
  }
  Face* found = known ? *known : SortedFallback(m, cp);
  if (!known) {
    std::optional<FaceLocation> where;
    if (found) where = FaceLocation{found->File(), found->Index()};
    matches_.StoreFallback(m.key, cp, where, Dependencies());
  }
  m.fallback.emplace(cp, found);
  return found;
}

Face* FontEngine::SortedFallback(FontMatch& m, char32_t cp) {
  if (!m.pattern) m.pattern = Pattern(m.spec);
  if (!m.sorted) {
    FcResult result;
    m.sorted.reset(FcFontSort(Config(), m.pattern.get(), FcTrue, nullptr, &result));
  }
  for (int i = 0; m.sorted && i < m.sorted->nfont; ++i) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(m.sorted->fonts[i], FC_CHARSET, 0, &cs) != FcResultMatch || !FcCharSetHasChar(cs, cp))
      continue;
    const auto where = LocationOf(m.sorted->fonts[i]);
    if (!where) continue;
    Face* face = OpenFile(where->file.c_str(), where->index, m.bold, m.italic);
    if (face && face->GlyphIndex(cp) != 0) return face;
  }
  return nullptr;
}

void FontEngine::SaveMatches() noexcept {
  try {
    matches_.Save();
  } catch (...) {
    // Only a cache: the next run matches afresh.
  }
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
const std::vector<std::string>& FontEngine::Dependencies() {
  if (!dependencies_.empty()) return dependencies_;
  std::vector<std::string>& deps = dependencies_;
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
  auto face = std::make_unique<Face>(fresh.ft, fresh.blob, path, index, synthBold, synthItalic);
  fresh.Release();
  Face* raw = face.get();
  faces_.emplace(std::move(key), std::move(face));
  return raw;
}

bool FontEngine::Open(const char* path, int index, Mapped& m) {
  m.blob = MapFontFile(path);
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

// The name asked for and the names the program's own aliases put before it,
// found with a configuration that holds those aliases alone.
std::vector<std::string> FontEngine::AliasedNames(const std::string& name) {
  std::vector<std::string> names{Folded(name)};
  if (aliases_.empty()) aliases_ = AliasFile();
  if (aliases_.empty()) return names;
  const FcConfigHolder config(FcConfigCreate());
  if (!config || !FcConfigParseAndLoad(config.get(), Fc(aliases_), FcFalse)) return names;
  FcPatternHolder pat(FcPatternCreate());
  FcPatternAddString(pat.get(), FC_FAMILY, Fc(name));
  FcConfigSubstitute(config.get(), pat.get(), FcMatchPattern);
  FcChar8* family = nullptr;
  for (int i = 0; FcPatternGetString(pat.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i)
    names.push_back(Folded(reinterpret_cast<const char*>(family)));
  return names;
}

bool FontEngine::Substituted(const FontMatch& m) {
  const std::vector<std::string> wanted = AliasedNames(m.spec.Name);
  for (const std::string& name : FamilyNames(m.face->Ft()))
    if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) return false;
  return true;
}

FontEngine& SharedFontEngine() {
  static FontEngine engine(DefaultFaceCachePath());
  return engine;
}

}  // namespace glyphor
