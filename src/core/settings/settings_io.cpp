// SPDX-License-Identifier: MIT
#include "core/settings/settings_io.h"

#include <algorithm>

#include "core/platform/errors.h"
#include "core/settings/colors.h"
#include "core/settings/ini_file.h"
#include "core/text/ascii_case.h"
#include "core/text/int_text.h"

namespace glyphor {

namespace {

constexpr const char* kFont = "Font";
constexpr const char* kSvg = "SVG";
constexpr const char* kEmf = "EMF";
// A face name of the original platform holds at most 31 bytes of its
// Shift-JIS code page (code page 932).
constexpr size_t kMaxFaceNameBytes = 31;

// The first characters of a UTF-8 face name that fit in `maxBytes` bytes of
// code page 932: one byte for ASCII and half-width katakana, two otherwise.
std::string TruncateFaceName(const std::string& name, size_t maxBytes) {
  size_t used = 0, i = 0;
  while (i < name.size()) {
    const auto lead = static_cast<unsigned char>(name[i]);
    const size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    // U+FF61..U+FF9F (half-width katakana) are EF BD A1..EF BE 9F.
    const bool halfWidth =
        len == 3 && lead == 0xEF && i + 2 < name.size() &&
        ((static_cast<unsigned char>(name[i + 1]) == 0xBD && static_cast<unsigned char>(name[i + 2]) >= 0xA1) ||
         static_cast<unsigned char>(name[i + 1]) == 0xBE);
    const size_t cost = len == 1 || halfWidth ? 1 : 2;
    if (used + cost > maxBytes || i + len > name.size()) break;
    used += cost;
    i += len;
  }
  return name.substr(0, i);
}

// Trailing blanks, tabs and line breaks (codes up to 32) are not saved.
std::string TrimTrailingControls(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(0, end);
}

// A negative join index would select no join at all, which the SVG writer
// cannot express: it loads as 0, miter, the start value.
int LoadedLineJoin(int32_t value) { return std::clamp(value, 0, 2); }

// The up-down control holds its position as a 16-bit signed number.
int LoadedMiterLimit(int32_t value) { return static_cast<int16_t>(value & 0xFFFF); }

// One key as a load sees it: read from a settings file, or one value given
// whole on the command line. A given value has no length limit, and one that
// is no integer for an integer or flag key is an error rather than the
// default: a typed option must not be dropped without a word.
class KeyReader {
 public:
  KeyReader(const TIniFile& ini, const char* section, const char* key) : ini_(&ini), section_(section), key_(key) {}
  explicit KeyReader(const std::string& given) : given_(&given) {}
  std::string Text(const std::string& def) const { return given_ ? *given_ : ini_->ReadString(section_, key_, def); }
  int32_t Integer(int32_t def) const {
    if (!given_) return ini_->ReadInteger(section_, key_, def);
    if (const auto value = TextToInt(*given_)) return *value;
    throw EConvertError(FormatMessage("'%s' は整数ではありません", {*given_}));
  }
  bool Flag(bool def) const { return given_ ? Integer(0) != 0 : ini_->ReadBool(section_, key_, def); }
  uint32_t Colour(uint32_t def) const {
    if (given_) {
      if (const auto html = HtmlTextToColor(*given_)) return *html;
      return TextToColor(*given_);
    }
    return TextToColor(Text(ColorToText(def)));
  }

 private:
  const TIniFile* ini_ = nullptr;
  const std::string* given_ = nullptr;
  const char* section_ = nullptr;
  const char* key_ = nullptr;
};

std::string FlagText(bool on) { return on ? "1" : "0"; }

// Every key of the settings file, in the order it is read and written, with
// how it reaches the model and what is written for it.
struct KeyRule {
  const char* section;
  const char* key;
  void (*load)(SettingsModel& m, const KeyReader& value, const std::string& documentsDir);
  std::string (*save)(const SettingsModel& m);
};

const KeyRule kKeys[] = {
    {kFont, "FontName",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       const std::string name = value.Text(m.Values().Font.Name);
       if (!name.empty()) m.SetFontName(TruncateFaceName(name, kMaxFaceNameBytes));
     },
     [](const SettingsModel& m) { return m.Values().Font.Name; }},
    {kFont, "FontSize",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetFontSize(value.Integer(m.Values().Font.Size));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().Font.Size); }},
    {kFont, "FontStyle",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetFontStyle(static_cast<uint8_t>(value.Integer(m.Values().Font.Style)));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().Font.Style); }},
    {kFont, "FontColor",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetFillColor(value.Colour(m.Values().Font.Color));
     },
     [](const SettingsModel& m) { return ColorToText(m.Values().Font.Color); }},
    {kFont, "FontCharset",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetFontCharset(static_cast<uint8_t>(value.Integer(m.Values().Font.Charset)));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().Font.Charset); }},
    {kFont, "FontText",
     [](SettingsModel& m, const KeyReader& value, const std::string&) { m.SetText(value.Text(m.Values().Text)); },
     [](const SettingsModel& m) { return TrimTrailingControls(m.Values().Text); }},
    {kFont, "FontTransparent",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetTransparent(value.Flag(m.Values().TransparentFill));
     },
     [](const SettingsModel& m) { return FlagText(m.Values().TransparentFill); }},
    {kFont, "FontStrokeColor",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetStrokeColor(value.Colour(m.Values().StrokeColor));
     },
     [](const SettingsModel& m) { return ColorToText(m.Values().StrokeColor); }},
    {kFont, "FontStrokeWidth",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetStrokeWidth(value.Integer(m.Values().StrokeWidth));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().StrokeWidth); }},
    {kSvg, "Resolution",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetResolution(value.Integer(m.Values().Resolution));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().Resolution); }},
    {kSvg, "View",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetViewAfterSave(value.Flag(m.Values().ViewAfterSave));
     },
     [](const SettingsModel& m) { return FlagText(m.Values().ViewAfterSave); }},
    {kSvg, "SVGDir",
     [](SettingsModel& m, const KeyReader& value, const std::string& documentsDir) {
       m.SetSvgDir(value.Text(documentsDir));
     },
     [](const SettingsModel& m) { return m.SvgDir(); }},
    {kEmf, "EMFDir",
     [](SettingsModel& m, const KeyReader& value, const std::string& documentsDir) {
       m.SetEmfDir(value.Text(documentsDir));
     },
     [](const SettingsModel& m) { return m.EmfDir(); }},
    // After the transparent flag, so a file holding both loads with
    // transparency cleared and disabled.
    {kFont, "FontFukuromoji",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetFukuromoji(value.Flag(m.Values().Fukuromoji));
     },
     [](const SettingsModel& m) { return FlagText(m.Values().Fukuromoji); }},
    {kFont, "FontLineJoin",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetLineJoin(LoadedLineJoin(value.Integer(m.Values().LineJoin)));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().LineJoin); }},
    {kFont, "FontMiterLimit",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetMiterLimit(LoadedMiterLimit(value.Integer(m.Values().MiterLimit)));
     },
     [](const SettingsModel& m) { return IntToText(m.Values().MiterLimit); }},
    // Last, so files written before it existed keep their order of keys.
    {kSvg, "CutReady",
     [](SettingsModel& m, const KeyReader& value, const std::string&) {
       m.SetCutReady(value.Flag(m.Values().CutReady));
     },
     [](const SettingsModel& m) { return FlagText(m.Values().CutReady); }},
};

}  // namespace

ESettingValueError::ESettingValueError(const std::string& message, std::string section, std::string key)
    : EConvertError(message), section_(std::move(section)), key_(std::move(key)) {}

void LoadSettings(SettingsModel& m, const std::string& fileName, const std::string& documentsDir) {
  const TIniFile ini(fileName);
  // A missing file means the defaults; one that exists but cannot be read
  // must not pass for an empty one.
  if (ini.Unreadable()) throw EIniFileException(FormatMessage("%s を読み込めません", {fileName}));
  for (const KeyRule& rule : kKeys) {
    try {
      rule.load(m, KeyReader(ini, rule.section, rule.key), documentsDir);
    } catch (const EConvertError& e) {
      throw ESettingValueError(e.what(), rule.section, rule.key);
    }
  }
}

bool ApplySetting(SettingsModel& m, const std::string& section, const std::string& key, const std::string& value,
                  const std::string& documentsDir) {
  for (const KeyRule& rule : kKeys) {
    if (!EqualsIgnoringAsciiCase(section, rule.section) || !EqualsIgnoringAsciiCase(key, rule.key)) continue;
    try {
      rule.load(m, KeyReader(value), documentsDir);
    } catch (const EConvertError& e) {
      throw ESettingValueError(e.what(), rule.section, rule.key);
    }
    return true;
  }
  return false;
}

std::vector<std::string> SettingNames() {
  std::vector<std::string> names;
  for (const KeyRule& rule : kKeys) names.push_back(std::string(rule.section) + "." + rule.key);
  return names;
}

void SaveSettings(const SettingsModel& m, const std::string& fileName) {
  TIniFile ini(fileName);
  for (const KeyRule& rule : kKeys) ini.WriteString(rule.section, rule.key, rule.save(m));
  ini.UpdateFile();
}

}  // namespace glyphor
