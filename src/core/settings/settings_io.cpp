#include "core/settings/settings_io.h"

#include <algorithm>

#include "core/settings/colors.h"
#include "core/platform/errors.h"
#include "core/settings/ini_file.h"

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
    const bool halfWidth = len == 3 && lead == 0xEF && i + 2 < name.size() &&
                           ((static_cast<unsigned char>(name[i + 1]) == 0xBD &&
                             static_cast<unsigned char>(name[i + 2]) >= 0xA1) ||
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

void LoadFont(SettingsModel& m, const TIniFile& ini) {
  const std::string name = ini.ReadString(kFont, "FontName", m.Values().Font.Name);
  if (!name.empty()) m.SetFontName(TruncateFaceName(name, kMaxFaceNameBytes));
  m.SetFontSize(ini.ReadInteger(kFont, "FontSize", m.Values().Font.Size));
  m.SetFontStyle(static_cast<uint8_t>(ini.ReadInteger(kFont, "FontStyle", m.Values().Font.Style)));
  m.SetFillColor(TextToColor(ini.ReadString(kFont, "FontColor", ColorToText(m.Values().Font.Color))));
  m.SetFontCharset(
      static_cast<uint8_t>(ini.ReadInteger(kFont, "FontCharset", m.Values().Font.Charset)));
}

void LoadStroke(SettingsModel& m, const TIniFile& ini) {
  m.SetText(ini.ReadString(kFont, "FontText", m.Values().Text));
  m.SetTransparent(ini.ReadBool(kFont, "FontTransparent", m.Values().TransparentFill));
  m.SetStrokeColor(
      TextToColor(ini.ReadString(kFont, "FontStrokeColor", ColorToText(m.Values().StrokeColor))));
  m.SetStrokeWidth(ini.ReadInteger(kFont, "FontStrokeWidth", m.Values().StrokeWidth));
}

void LoadOutput(SettingsModel& m, const TIniFile& ini, const std::string& documentsDir) {
  m.SetResolution(ini.ReadInteger(kSvg, "Resolution", m.Values().Resolution));
  m.SetViewAfterSave(ini.ReadBool(kSvg, "View", m.Values().ViewAfterSave));
  m.SetSvgDir(ini.ReadString(kSvg, "SVGDir", documentsDir));
  m.SetEmfDir(ini.ReadString(kEmf, "EMFDir", documentsDir));
  // After the transparent flag, so a file holding both loads with
  // transparency cleared and disabled.
  m.SetFukuromoji(ini.ReadBool(kFont, "FontFukuromoji", m.Values().Fukuromoji));
  m.SetLineJoin(LoadedLineJoin(ini.ReadInteger(kFont, "FontLineJoin", m.Values().LineJoin)));
  m.SetMiterLimit(LoadedMiterLimit(ini.ReadInteger(kFont, "FontMiterLimit", m.Values().MiterLimit)));
}

}  // namespace

void LoadSettings(SettingsModel& m, const std::string& fileName, const std::string& documentsDir) {
  const TIniFile ini(fileName);
  // A missing file means the defaults; one that exists but cannot be read
  // must not pass for an empty one.
  if (ini.Unreadable()) throw EIniFileException(FormatMessage("%s を読み込めません", {fileName}));
  LoadFont(m, ini);
  LoadStroke(m, ini);
  LoadOutput(m, ini, documentsDir);
}

void SaveSettings(const SettingsModel& m, const std::string& fileName) {
  const ConversionSettings& v = m.Values();
  TIniFile ini(fileName);
  ini.WriteString(kFont, "FontName", v.Font.Name);
  ini.WriteInteger(kFont, "FontSize", v.Font.Size);
  ini.WriteInteger(kFont, "FontStyle", v.Font.Style);
  ini.WriteString(kFont, "FontColor", ColorToText(v.Font.Color));
  ini.WriteInteger(kFont, "FontCharset", v.Font.Charset);
  ini.WriteString(kFont, "FontText", TrimTrailingControls(v.Text));
  ini.WriteBool(kFont, "FontTransparent", v.TransparentFill);
  ini.WriteString(kFont, "FontStrokeColor", ColorToText(v.StrokeColor));
  ini.WriteInteger(kFont, "FontStrokeWidth", v.StrokeWidth);
  ini.WriteInteger(kSvg, "Resolution", v.Resolution);
  ini.WriteBool(kSvg, "View", v.ViewAfterSave);
  ini.WriteString(kSvg, "SVGDir", m.SvgDir());
  ini.WriteString(kEmf, "EMFDir", m.EmfDir());
  ini.WriteBool(kFont, "FontFukuromoji", v.Fukuromoji);
  ini.WriteInteger(kFont, "FontLineJoin", v.LineJoin);
  ini.WriteInteger(kFont, "FontMiterLimit", v.MiterLimit);
  ini.UpdateFile();
}

}  // namespace glyphor
