// SPDX-License-Identifier: MIT
#include "core/settings/settings_io.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/platform/errors.h"
#include "core/settings/ini_file.h"
#include "core/text/ascii_case.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Field = SettingsModel::Field;

const std::string kDocs = "/home/user/Documents";

// The file a model with every start value writes, in the fixed key order.
const std::string kStartFile =
    "[Font]\r\n"
    "FontName=ＭＳ Ｐゴシック\r\n"
    "FontSize=100\r\n"
    "FontStyle=0\r\n"
    "FontColor=clRed\r\n"
    "FontCharset=128\r\n"
    "FontText=GLYPHOR\r\n"
    "FontTransparent=0\r\n"
    "FontStrokeColor=clBlack\r\n"
    "FontStrokeWidth=50\r\n"
    "FontFukuromoji=0\r\n"
    "FontLineJoin=0\r\n"
    "FontMiterLimit=4\r\n"
    "[SVG]\r\n"
    "Resolution=400\r\n"
    "View=1\r\n"
    "SVGDir=\r\n"
    "CutReady=0\r\n"
    "[EMF]\r\n"
    "EMFDir=\r\n";

// A fresh model loaded from a file holding `content`.
SettingsModel Loaded(const std::string& content) {
  TempDir dir;
  WriteFile(dir / "s.gly", content);
  SettingsModel m;
  LoadSettings(m, dir / "s.gly", kDocs);
  return m;
}

ConversionSettings Loaded(const std::string& section, const std::string& key, const std::string& value) {
  return Loaded("[" + section + "]\r\n" + key + "=" + value + "\r\n").Values();
}

TEST(SettingsIo, MissingFileKeepsStartValuesAndCreatesNothing) {
  TempDir dir;
  SettingsModel m;
  LoadSettings(m, dir / "GLYPHOR.ini", kDocs);
  LoadSettings(m, dir / "batch.gly", kDocs);
  EXPECT_TRUE(test::ListDir(dir.path()).empty());
  const ConversionSettings start;
  const ConversionSettings& v = m.Values();
  EXPECT_EQ(v.Font.Name, start.Font.Name);
  EXPECT_EQ(v.Font.Size, 100);
  EXPECT_EQ(v.Font.Color, 0x000000FFu);
  EXPECT_EQ(v.Text, "GLYPHOR");
  EXPECT_EQ(v.StrokeWidth, 50);
  EXPECT_EQ(v.Resolution, 400);
  EXPECT_TRUE(v.ViewAfterSave);
  EXPECT_EQ(m.SvgDir(), kDocs);
  EXPECT_EQ(m.EmfDir(), kDocs);

  SaveSettings(SettingsModel(), dir / "GLYPHOR.ini");
  EXPECT_EQ(ReadFile(dir / "GLYPHOR.ini"), kStartFile);
}

TEST(SettingsIo, AFileThatCannotBeReadIsNoEmptyFile) {
  TempDir dir;
  const std::string folder = dir / "folder.gly";
  ::mkdir(folder.c_str(), 0755);
  const std::string fifo = dir / "pipe.gly";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& path : {folder, fifo}) {
    SettingsModel m;
    try {
      LoadSettings(m, path, kDocs);  // a pipe with no writer must not block
      ADD_FAILURE() << path;
    } catch (const EIniFileException& e) {
      EXPECT_EQ(std::string(e.what()), path + " を読み込めません");
    }
    EXPECT_EQ(m.SvgDir(), "");  // nothing loaded
  }
}

TEST(SettingsIo, EveryKeyRoundTrips) {
  TempDir dir;
  SettingsModel m;
  m.SetFontName("IPAPGothic");
  m.SetFontSize(36);
  m.SetFontStyle(fsBold | fsUnderline | 0x40);
  m.SetFillColor(0x00123456);
  m.SetFontCharset(0);
  m.SetText("袋文字");
  m.SetTransparent(true);
  m.SetStrokeColor(0x000080FF);  // orange
  m.SetStrokeWidth(125);
  m.SetResolution(1000);
  m.SetViewAfterSave(false);
  m.SetSvgDir("/tmp/svg out");
  m.SetEmfDir("");
  m.SetLineJoin(1);
  m.SetMiterLimit(17);
  m.SetCutReady(true);
  SaveSettings(m, dir / "a.ini");
  const std::string bytes = ReadFile(dir / "a.ini");
  EXPECT_NE(bytes.find("FontStrokeColor=$000080FF\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("FontColor=$00123456\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("FontStyle=69\r\n"), std::string::npos);

  SettingsModel back;
  LoadSettings(back, dir / "a.ini", kDocs);
  const ConversionSettings &a = m.Values(), &b = back.Values();
  EXPECT_EQ(b.Font.Name, a.Font.Name);
  EXPECT_EQ(b.Font.Size, 36);
  EXPECT_EQ(b.Font.Style, a.Font.Style);
  EXPECT_EQ(b.Font.Color, 0x00123456u);
  EXPECT_EQ(b.Font.Charset, 0);
  EXPECT_EQ(b.Text, "袋文字");
  EXPECT_TRUE(b.TransparentFill);
  EXPECT_EQ(b.StrokeColor, 0x000080FFu);
  EXPECT_EQ(b.StrokeWidth, 125);
  EXPECT_EQ(b.Resolution, 1000);
  EXPECT_FALSE(b.ViewAfterSave);
  EXPECT_EQ(back.SvgDir(), "/tmp/svg out");
  EXPECT_EQ(back.EmfDir(), "");
  EXPECT_EQ(b.LineJoin, 1);
  EXPECT_EQ(b.MiterLimit, 17);
  EXPECT_TRUE(b.CutReady);

  // Saving again over the file changes no byte and adds no line.
  SaveSettings(back, dir / "a.ini");
  EXPECT_EQ(ReadFile(dir / "a.ini"), bytes);
}

TEST(SettingsIo, ColourTextsLoadAndSaveByName) {
  for (const char* text : {"clred", "CLRED", "255", "$FF", "0xff", "  255  "}) {
    TempDir dir;
    WriteFile(dir / "s.ini", std::string("[Font]\nFontColor=") + text + "\nFontStrokeColor=$000080FF\n");
    SettingsModel m;
    m.SetFillColor(0x00FFFFFF);
    LoadSettings(m, dir / "s.ini", kDocs);
    EXPECT_EQ(m.Values().Font.Color, 0x000000FFu) << text;
    EXPECT_EQ(m.Values().StrokeColor, 0x000080FFu) << text;
    SaveSettings(m, dir / "s.ini");
    const std::string bytes = ReadFile(dir / "s.ini");
    EXPECT_TRUE(bytes.starts_with("[Font]\nFontColor=clRed\nFontStrokeColor=$000080FF\n")) << bytes;
  }
}

TEST(SettingsIo, BadColourStopsLoadingWithEarlierKeysKept) {
  for (const std::string bad : {"red", ""}) {
    TempDir dir;
    WriteFile(dir / "s.gly", "[Font]\nFontName=IPAPGothic\nFontSize=20\nFontStyle=1\nFontColor=" + bad +
                                 "\nFontCharset=0\nFontText=x\nFontStrokeWidth=7\n[SVG]\nResolution=800\n");
    SettingsModel m;
    try {
      LoadSettings(m, dir / "s.gly", kDocs);
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + bad + "' は整数ではありません");
    }
    const ConversionSettings& v = m.Values();
    EXPECT_EQ(v.Font.Name, "IPAPGothic");
    EXPECT_EQ(v.Font.Size, 20);
    EXPECT_EQ(v.Font.Style, 1);
    EXPECT_EQ(v.Font.Color, 0x000000FFu);
    EXPECT_EQ(v.Font.Charset, 128);
    EXPECT_EQ(v.Text, "GLYPHOR");
    EXPECT_EQ(v.StrokeWidth, 50);
    EXPECT_EQ(v.Resolution, 400);
    EXPECT_EQ(m.SvgDir(), "");
  }
  // A bad stroke colour stops after the text and the transparent flag.
  SettingsModel m;
  TempDir dir;
  WriteFile(dir / "s.gly", "[Font]\nFontText=y\nFontTransparent=1\nFontStrokeColor=clBlak\nFontStrokeWidth=9\n");
  EXPECT_THROW(LoadSettings(m, dir / "s.gly", kDocs), EConvertError);
  EXPECT_EQ(m.Values().Text, "y");
  EXPECT_TRUE(m.Values().TransparentFill);
  EXPECT_EQ(m.Values().StrokeWidth, 50);
}

TEST(SettingsIo, NumbersAreBroughtIntoRangeOrCut) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    int ConversionSettings::*field;
    int expected;
  };
  const Case cases[] = {
      {"Font", "FontStrokeWidth", "5000", &ConversionSettings::StrokeWidth, 1000},
      {"Font", "FontStrokeWidth", "-3", &ConversionSettings::StrokeWidth, 0},
      {"Font", "FontStrokeWidth", "abc", &ConversionSettings::StrokeWidth, 50},
      {"SVG", "Resolution", "100", &ConversionSettings::Resolution, 400},
      {"SVG", "Resolution", "5000", &ConversionSettings::Resolution, 1200},
      {"SVG", "Resolution", "$3E8", &ConversionSettings::Resolution, 1000},
      {"Font", "FontLineJoin", "7", &ConversionSettings::LineJoin, 2},
      {"Font", "FontLineJoin", "1", &ConversionSettings::LineJoin, 1},
      {"Font", "FontLineJoin", "-1", &ConversionSettings::LineJoin, 0},
      {"Font", "FontLineJoin", "-7", &ConversionSettings::LineJoin, 0},
      {"Font", "FontMiterLimit", "0", &ConversionSettings::MiterLimit, 1},
      {"Font", "FontMiterLimit", "250", &ConversionSettings::MiterLimit, 100},
      {"Font", "FontMiterLimit", "65540", &ConversionSettings::MiterLimit, 4},
      {"Font", "FontMiterLimit", "65535", &ConversionSettings::MiterLimit, 1},
      {"Font", "FontMiterLimit", "65636", &ConversionSettings::MiterLimit, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Loaded(c.section, c.key, c.value).*c.field, c.expected) << c.key << "=" << c.value;

  EXPECT_EQ(Loaded("Font", "FontStyle", "259").Font.Style, fsBold | fsItalic);
  EXPECT_EQ(Loaded("Font", "FontCharset", "384").Font.Charset, 128);
  EXPECT_EQ(Loaded("Font", "FontCharset", "-1").Font.Charset, 255);
  EXPECT_EQ(Loaded("Font", "FontSize", "12").Font.Size, 12);
  EXPECT_EQ(Loaded("Font", "FontSize", "-12").Font.Size, -12);
}

TEST(SettingsIo, FlagsReadAsIntegers) {
  EXPECT_TRUE(Loaded("SVG", "View", "true").ViewAfterSave);
  EXPECT_TRUE(Loaded("SVG", "View", "2").ViewAfterSave);
  EXPECT_TRUE(Loaded("SVG", "View", "-1").ViewAfterSave);
  EXPECT_FALSE(Loaded("SVG", "View", "0").ViewAfterSave);
  EXPECT_FALSE(Loaded("[SVG]\nView=0\n[Font]\nFontTransparent=yes\n").Values().TransparentFill);

  TempDir dir;
  WriteFile(dir / "s.ini", "[SVG]\nView=true\n");
  SettingsModel m;
  m.SetViewAfterSave(false);
  LoadSettings(m, dir / "s.ini", kDocs);
  EXPECT_FALSE(m.Values().ViewAfterSave);
}

TEST(SettingsIo, TwoLayerModeClearsAndDisablesTransparencyAfterIt) {
  TempDir dir;
  WriteFile(dir / "s.gly", "[Font]\nFontTransparent=1\nFontStrokeWidth=60\nFontFukuromoji=1\n");
  SettingsModel m;
  std::vector<Field> seen;
  m.AddListener([&](Field f) { seen.push_back(f); });
  LoadSettings(m, dir / "s.gly", kDocs);
  EXPECT_FALSE(m.Values().TransparentFill);
  EXPECT_FALSE(m.TransparentEnabled());
  EXPECT_TRUE(m.Values().Fukuromoji);
  EXPECT_EQ(seen, (std::vector<Field>{Field::Transparent, Field::StrokeWidth, Field::SvgDir, Field::EmfDir,
                                      Field::Transparent, Field::TransparentEnabled, Field::Fukuromoji}));
}

TEST(SettingsIo, EmptyAndLongTexts) {
  SettingsModel m = Loaded("[Font]\nFontName=\nFontText=\n[SVG]\nSVGDir=\n");
  EXPECT_EQ(m.Values().Font.Name, "ＭＳ Ｐゴシック");
  EXPECT_EQ(m.Values().Text, "");
  EXPECT_EQ(m.SvgDir(), "");
  EXPECT_EQ(m.EmfDir(), kDocs);

  // 31 bytes of the original's Shift-JIS: full-width letters count two,
  // half-width katakana one, so real Japanese names keep every character.
  EXPECT_EQ(Loaded("Font", "FontName", "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱ").Font.Name,
            "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ");
  EXPECT_EQ(Loaded("Font", "FontName", "ＨＧ創英角ﾎﾟｯﾌﾟ体").Font.Name, "ＨＧ創英角ﾎﾟｯﾌﾟ体");
  EXPECT_EQ(Loaded("Font", "FontName", "ab" + std::string(15, 'x') + "ＡＢＣＤＥＦＧＨ").Font.Name,
            "ab" + std::string(15, 'x') + "ＡＢＣＤＥＦＧ");
  EXPECT_EQ(Loaded("Font", "FontName", std::string(40, 'n')).Font.Name, std::string(31, 'n'));
  EXPECT_EQ(Loaded("Font", "FontText", std::string(3000, 't')).Text, std::string(2047, 't'));
}

TEST(SettingsIo, NamesInOtherLetterCaseAreFound) {
  SettingsModel m = Loaded(
      "[font]\nfontsize=50\nFONTSTROKEWIDTH=80\n[svg]\nresolution=800\n"
      "[emf]\nemfdir=/e\n");
  EXPECT_EQ(m.Values().Font.Size, 50);
  EXPECT_EQ(m.Values().StrokeWidth, 80);
  EXPECT_EQ(m.Values().Resolution, 800);
  EXPECT_EQ(m.EmfDir(), "/e");
}

TEST(SettingsIo, MemoTextThroughASaveAndALoad) {
  struct Case {
    const char* memo;
    const char* written;
    const char* loaded;
  };
  const Case cases[] = {
      {"  lead", "FontText=  lead\r\n", "lead"},
      {"\"quoted\"", "FontText=\"quoted\"\r\n", "quoted"},
      {"trail \t\r\n", "FontText=trail\r\n", "trail"},
      {"one\r\ntwo\r\n", "FontText=one\r\n", "one"},
      {"one\r\nFontFukuromoji=1", "FontText=one\r\n", "one"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    SettingsModel m;
    m.SetText(c.memo);
    SaveSettings(m, dir / "a.ini");
    const std::string bytes = ReadFile(dir / "a.ini");
    EXPECT_NE(bytes.find(std::string("\r\nFontCharset=128\r\n") + c.written + "FontTransparent=0"), std::string::npos)
        << bytes;
    SettingsModel back;
    LoadSettings(back, dir / "a.ini", kDocs);
    EXPECT_EQ(back.Values().Text, c.loaded);
    EXPECT_FALSE(back.Values().Fukuromoji);
  }
}

TEST(SettingsIo, SaveKeepsForeignLinesAndFailsOnReadOnlyFiles) {
  TempDir dir;
  const std::string file = dir / "GLYPHOR.ini";
  WriteFile(file, "[Other]\nKey=Value  \n[Font]\nMine=1\nFontSize=12\n");
  SaveSettings(SettingsModel(), file);
  const std::string bytes = ReadFile(file);
  EXPECT_TRUE(bytes.starts_with("[Other]\nKey=Value  \n[Font]\nMine=1\nFontSize=100\nFontName=")) << bytes;

  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  SettingsModel m;
  m.SetResolution(800);
  try {
    SaveSettings(m, file);
    ADD_FAILURE() << "read-only file written";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), file + " に書き込めません");
  }
  EXPECT_EQ(ReadFile(file), bytes);
  EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"GLYPHOR.ini"});
}

TEST(SettingsIo, ShiftJisBatchFileLoadsJapaneseNameAndText) {
  // "ＭＳ 明朝" and "袋文字" in code page 932.
  SettingsModel m = Loaded(
      "[Font]\r\nFontName=\x82\x6c\x82\x72 \x96\xbe\x92\xa9\r\n"
      "FontText=\x91\xdc\x95\xb6\x8e\x9a\r\nFontStrokeColor=clBlue\r\n");
  EXPECT_EQ(m.Values().Font.Name, "ＭＳ 明朝");
  EXPECT_EQ(m.Values().Text, "袋文字");
  EXPECT_EQ(m.Values().StrokeColor, 0x00FF0000u);
}

}  // namespace
}  // namespace glyphor

namespace glyphor {
namespace {

// --set reaches every key of the file, by the file's rules and names in any
// case, and nothing else; a value of the wrong form is an error, not the default.
TEST(SettingsIo, ApplySettingReachesExactlyTheFilesKeys) {
  TempDir dir;
  for (const std::string& name : SettingNames()) {
    const size_t dot = name.find('.');
    SettingsModel m;
    ASSERT_TRUE(ApplySetting(m, LowerAscii(name.substr(0, dot)), LowerAscii(name.substr(dot + 1)), "1", kDocs)) << name;
    SaveSettings(m, dir / "s.ini");
    TIniFile written(dir / "s.ini");
    const std::string expected = name == "Font.FontColor" || name == "Font.FontStrokeColor" ? "$00000001"
                                 : name == "SVG.Resolution"                                 ? "400"
                                                                                            : "1";
    EXPECT_EQ(written.ReadString(name.substr(0, dot), name.substr(dot + 1), "?"), expected) << name;
  }
  SettingsModel m;
  EXPECT_FALSE(ApplySetting(m, "Font", "FontSise", "1", kDocs));
  EXPECT_FALSE(ApplySetting(m, "SVG", "FontSize", "1", kDocs));
  try {
    ApplySetting(m, "font", "fontsize", "12pt", kDocs);
    ADD_FAILURE() << "no error";
  } catch (const ESettingValueError& e) {
    EXPECT_EQ(std::string(e.what()), "'12pt' は整数ではありません");
    EXPECT_EQ(e.Section() + "." + e.Key(), "Font.FontSize");
  }
  EXPECT_THROW(ApplySetting(m, "Font", "FontTransparent", "true", kDocs), ESettingValueError);
  ASSERT_TRUE(ApplySetting(m, "Font", "FontColor", "#0080fF", kDocs));
  EXPECT_EQ(m.Values().Font.Color, 0x00FF8000u);
  const std::string text(5000, 'W');
  ASSERT_TRUE(ApplySetting(m, "Font", "FontText", text, kDocs));
  EXPECT_EQ(m.Values().Text, text);
}

}  // namespace
}  // namespace glyphor
