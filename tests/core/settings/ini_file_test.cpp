#include "core/settings/ini_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/platform/errors.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(IniFile, ReadsByTheProfileRules) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  WriteFile(file,
            "loose=outside\r\n"
            "  [ font ]  \r\n"
            "  fontname  =  Arial Black  \r\n"
            "Quoted=\"  padded  \"\r\n"
            "Single='x'\r\n"
            "Unmatched=\"x'\r\n"
            "Lone=\"\r\n"
            "Empty=\r\n"
            "Eq=a=b\r\n"
            "Dup=first\r\n"
            "Dup=second\r\n"
            "[SVG]\r\n"
            "Name=svg\r\n"
            "[Font]\r\n"
            "Late=second section\r\n");
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("FONT", "FontName", "d"), "Arial Black");
  EXPECT_EQ(ini.ReadString("Font", "quoted", "d"), "  padded  ");
  EXPECT_EQ(ini.ReadString("Font", "Single", "d"), "x");
  EXPECT_EQ(ini.ReadString("Font", "Unmatched", "d"), "\"x'");
  EXPECT_EQ(ini.ReadString("Font", "Lone", "d"), "\"");
  EXPECT_EQ(ini.ReadString("Font", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Font", "Eq", "d"), "a=b");
  EXPECT_EQ(ini.ReadString("Font", "Dup", "d"), "first");
  EXPECT_EQ(ini.ReadString("Font", "Name", "d"), "d");
  EXPECT_EQ(ini.ReadString("svg", "NAME", "d"), "svg");
  EXPECT_EQ(ini.ReadString("Font", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nope", "FontName", "d"), "d");
  EXPECT_EQ(ini.ReadString("Font", "loose", "d"), "d");
}

TEST(IniFile, IntegersAndFlags) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  WriteFile(file, "[S]\nA= 12 \nB=$FFFFFFFF\nC=true\nD=2\nE=-1\nF=0\nG=\nH=\"7\"\n");
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadInteger("S", "A", 5), 12);
  EXPECT_EQ(ini.ReadInteger("S", "B", 5), -1);
  EXPECT_EQ(ini.ReadInteger("S", "C", 5), 5);
  EXPECT_EQ(ini.ReadInteger("S", "G", 5), 5);
  EXPECT_EQ(ini.ReadInteger("S", "H", 5), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Z", 5), 5);
  EXPECT_TRUE(ini.ReadBool("S", "C", true));
  EXPECT_FALSE(ini.ReadBool("S", "C", false));
  EXPECT_TRUE(ini.ReadBool("S", "D", false));
  EXPECT_TRUE(ini.ReadBool("S", "E", false));
  EXPECT_FALSE(ini.ReadBool("S", "F", true));
}

TEST(IniFile, LongValuesAreCutAtACharacterBoundary) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  const std::string ascii(3000, 'a');
  const std::string kana = std::string(2046, 'b') + "あいう";  // あ spans bytes 2046..2048
  WriteFile(file, "[S]\nA=" + ascii + "\nB=" + kana + "\n");
  const TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("S", "A", ""), std::string(2047, 'a'));
  EXPECT_EQ(ini.ReadString("S", "B", ""), std::string(2046, 'b'));
}

TEST(IniFile, TouchesNoFileUntilAWriteIsSaved) {
  TempDir dir;
  const std::string file = dir / "new.ini";
  {
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
    ini.UpdateFile();
  }
  EXPECT_FALSE(FileExists(file));
  {
    TIniFile ini(file);
    ini.WriteString("S", "K", "v");
    EXPECT_EQ(ini.ReadString("s", "k", "d"), "v");
    EXPECT_FALSE(FileExists(file));
  }  // the destructor saves
  EXPECT_EQ(ReadFile(file), "[S]\r\nK=v\r\n");
}

TEST(IniFile, WritesReplaceAppendOrAddASectionAndKeepOtherLines) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  const std::string before =
      "; comment\n"
      "[Font]\n"
      "fontsize = 12 ; old\n"
      "Unknown=keep  me  \r\n"
      "\n"
      "[Other]\r\n"
      "X=\"1\"\n"
      "[font]\n"
      "FontSize=99\n"
      "Tail=no line end";
  WriteFile(file, before);
  TIniFile ini(file);
  ini.WriteInteger("Font", "FontSize", 100);
  ini.WriteBool("FONT", "FontTransparent", true);
  ini.WriteString("Other", "Y", "");
  ini.WriteString("SVG", "SVGDir", "/home/u/ドキュメント");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(file),
            "; comment\n"
            "[Font]\n"
            "fontsize =100\n"
            "Unknown=keep  me  \r\n"
            "FontTransparent=1\r\n"
            "\n"
            "[Other]\r\n"
            "X=\"1\"\n"
            "Y=\r\n"
            "[font]\n"
            "FontSize=99\n"
            "Tail=no line end\r\n"
            "[SVG]\r\n"
            "SVGDir=/home/u/ドキュメント\r\n");
}

TEST(IniFile, ValueEndsAtItsFirstLineBreak) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  TIniFile ini(file);
  ini.WriteString("Font", "FontText", "line one\r\n[SVG]\r\nView=0");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(file), "[Font]\r\nFontText=line one\r\n");
}

TEST(IniFile, ShiftJisFileLoadsAndIsRewrittenAsUtf8) {
  TempDir dir;
  const std::string file = dir / "old.gly";
  // "ＭＳ 明朝" and "袋文字～" in code page 932, with a line the program does not know.
  WriteFile(file,
            "[Font]\r\n"
            "FontName=\x82\x6c\x82\x72 \x96\xbe\x92\xa9\r\n"
            "FontText=\x91\xdc\x95\xb6\x8e\x9a\x81\x60\r\n"
            "Memo=\x91\xdc\r\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Font", "FontName", ""), "ＭＳ 明朝");
  EXPECT_EQ(ini.ReadString("Font", "FontText", ""), "袋文字～");
  ini.WriteInteger("Font", "FontSize", 80);
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(file), "[Font]\r\nFontName=ＭＳ 明朝\r\nFontText=袋文字～\r\nMemo=袋\r\nFontSize=80\r\n");
}

TEST(IniFile, Utf8ByteOrderMarkIsKept) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  WriteFile(file, "\xEF\xBB\xBF[Font]\nFontName=IPAPGothic\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Font", "FontName", ""), "IPAPGothic");
  ini.WriteString("Font", "FontName", "DejaVu Sans");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF[Font]\nFontName=DejaVu Sans\n");
}

TEST(IniFile, FailedSavesRaiseTheMessageAndChangeNothing) {
  TempDir dir;
  const std::string file = dir / "ro.ini";
  WriteFile(file, "[Font]\nFontSize=12\n");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  {
    TIniFile ini(file);
    ini.WriteInteger("Font", "FontSize", 100);
    try {
      ini.UpdateFile();
      ADD_FAILURE() << "read-only file written";
    } catch (const EIniFileException& e) {
      EXPECT_EQ(std::string(e.what()), file + " に書き込めません");
    }
  }  // the destructor tries again and drops the error
  EXPECT_EQ(ReadFile(file), "[Font]\nFontSize=12\n");
  EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"ro.ini"});

  const std::string nowhere = dir / "missing/a.ini";
  TIniFile ini(nowhere);
  ini.WriteString("S", "K", "v");
  EXPECT_THROW(ini.UpdateFile(), EIniFileException);
  EXPECT_FALSE(FileExists(nowhere));
}

}  // namespace
}  // namespace glyphor
