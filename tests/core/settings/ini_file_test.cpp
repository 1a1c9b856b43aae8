// SPDX-License-Identifier: MIT
#include "core/settings/ini_file.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/platform/errors.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::Encode;
using test::FileExists;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

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

TEST(IniFile, LongValuesAreCutInTheEncodingTheyAreStoredIn) {
  TempDir dir;
  const std::string file = dir / "a.ini";
  const std::string ascii(3000, 'a');
  const std::string kana = std::string(2046, 'b') + "あいう";  // あ spans bytes 2046..2048
  WriteFile(file, "[S]\nA=" + ascii + "\nB=" + kana + "\n");
  {
    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("S", "A", ""), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("S", "B", ""), std::string(2046, 'b'));
  }

  // Shift-JIS: 2047 bytes of the file, never half a character.
  const std::string kanji = "漢";
  WriteFile(file, Encode("[S]\nA=" + Repeat(kanji, 1000) + "\nB=" + Repeat(kanji, 1100) + "\nC=a" +
                             Repeat(kanji, 1100) + "\nD=aa" + Repeat(kanji, 1100) + "\n",
                         "CP932"));
  {
    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("S", "A", ""), Repeat(kanji, 1000));
    EXPECT_EQ(ini.ReadString("S", "B", ""), Repeat(kanji, 1023));
    EXPECT_EQ(ini.ReadString("S", "C", ""), "a" + Repeat(kanji, 1023));
    EXPECT_EQ(ini.ReadString("S", "D", ""), "aa" + Repeat(kanji, 1022));
  }

  // UTF-16: 1023 code units, a surrogate pair kept whole or not at all.
  const std::string smile = "\xF0\x9F\x98\x80";
  WriteFile(file, "\xFF\xFE" + Encode("[S]\nA=" + Repeat(kanji, 1000) + "\nB=a" + Repeat(kanji, 1100) +
                                          "\nC=" + std::string(1022, 'c') + smile + "\nD=" + std::string(1021, 'd') +
                                          smile + "\n",
                                      "UTF-16LE"));
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("S", "A", ""), Repeat(kanji, 1000));
  EXPECT_EQ(ini.ReadString("S", "B", ""), "a" + Repeat(kanji, 1022));
  EXPECT_EQ(ini.ReadString("S", "C", ""), std::string(1022, 'c'));
  EXPECT_EQ(ini.ReadString("S", "D", ""), std::string(1021, 'd') + smile);
  // A held write reads as it will from the saved file.
  ini.WriteString("S", "E", ascii);
  EXPECT_EQ(ini.ReadString("S", "E", ""), std::string(1023, 'a'));
  ini.UpdateFile();
  EXPECT_EQ(TIniFile(file).ReadString("S", "E", ""), std::string(1023, 'a'));
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

TEST(IniFile, EachLineIsUtf8OrShiftJisOnItsOwn) {
  TempDir dir;
  const std::string file = dir / "old.gly";
  const std::string memo = Encode("Memo=袋\r\n", "CP932");
  const std::string stray = "Stray=日本語\xFF\r\n";  // UTF-8 spoilt by one byte
  // "]" is the second byte of ゾ in Shift-JIS.
  const std::string header = Encode("[ゾーン]\r\n", "CP932");
  WriteFile(file,
            "[Font]\r\n"
            "FontName=ＭＳ 明朝\r\n" +
                Encode("FontText=袋文字～\r\n", "CP932") + memo + stray + "Note=日本語\r\n" + header +
                Encode("キー=値\r\n", "CP932"));
  {
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("Font", "FontName", ""), "ＭＳ 明朝");
    EXPECT_EQ(ini.ReadString("Font", "FontText", ""), "袋文字～");
    EXPECT_EQ(ini.ReadString("Font", "Memo", ""), "袋");
    EXPECT_EQ(ini.ReadString("Font", "Note", ""), "日本語");
    EXPECT_TRUE(ini.ReadString("Font", "Stray", "").ends_with("\xEF\xBF\xBD"));
    EXPECT_EQ(ini.ReadString("ゾーン", "キー", ""), "値");
    ini.WriteString("Font", "FontText", "袋文字（新）");
    ini.WriteInteger("Font", "FontSize", 80);
    ini.WriteString("ゾーン", "キー", "新しい値");
    ini.UpdateFile();
  }
  // Lines the save did not change keep their bytes; changed and new lines
  // are UTF-8, and every line reads back.
  EXPECT_EQ(ReadFile(file), "[Font]\r\nFontName=ＭＳ 明朝\r\nFontText=袋文字（新）\r\n" + memo + stray +
                                "Note=日本語\r\nFontSize=80\r\n" + header + "キー=新しい値\r\n");
  const TIniFile again(file);
  EXPECT_EQ(again.ReadString("Font", "FontText", ""), "袋文字（新）");
  EXPECT_EQ(again.ReadString("Font", "Memo", ""), "袋");
  EXPECT_EQ(again.ReadString("ゾーン", "キー", ""), "新しい値");
}

TEST(IniFile, Utf16FilesAreReadAndSavedInUtf16) {
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "UTF-16LE" : "UTF-16BE");
    const char* encoding = little ? "UTF-16LE" : "UTF-16BE";
    const auto encode = [&](const std::string& utf8) { return Encode(utf8, encoding); };
    // A line the program does not use, with an unpaired surrogate.
    const std::string odd =
        encode("Odd=a") + (little ? std::string("\x00\xD8", 2) : std::string("\xD8\x00", 2)) + encode("b\r\n");
    const std::string bom = little ? "\xFF\xFE" : "\xFE\xFF";
    TempDir dir;
    const std::string file = dir / "u.gly";
    WriteFile(file, bom + encode("[Font]\r\nFontName=IPAPGothic\r\nFontText=\"袋文字😀\"\r\n") + odd +
                        encode("[SVG]\r\nView=0\r\n"));
    {
      TIniFile ini(file);
      EXPECT_FALSE(ini.Unreadable());
      EXPECT_EQ(ini.ReadString("Font", "FontText", ""), "袋文字😀");
      EXPECT_EQ(ini.ReadString("font", "odd", ""),
                "a\xEF\xBF\xBD"
                "b");
      EXPECT_FALSE(ini.ReadBool("SVG", "View", true));
      ini.WriteString("Font", "FontText", "新");
      ini.WriteInteger("Font", "FontSize", 80);
      ini.WriteString("EMF", "EMFDir", "/home/u/ドキュメント");
      ini.UpdateFile();
    }
    EXPECT_EQ(ReadFile(file), bom + encode("[Font]\r\nFontName=IPAPGothic\r\nFontText=新\r\n") + odd +
                                  encode("FontSize=80\r\n[SVG]\r\nView=0\r\n[EMF]\r\nEMFDir=/home/u/ドキュメント\r\n"));
  }
}

TEST(IniFile, FilesThatHoldNoTextAreUnreadableAndKept) {
  const std::string text = "[Font]\r\nFontText=A\r\n";
  const std::pair<const char*, std::string> cases[] = {
      {"NUL byte", "[Font]\r\nFontText=A" + std::string(1, '\0') + "B\r\n"},
      {"UTF-16 without its mark", Encode(text, "UTF-16LE")},
      {"UTF-16 of an odd length", "\xFF\xFE" + Encode(text, "UTF-16LE") + "A"},
      {"UTF-16 with a NUL", "\xFE\xFF" + Encode(text, "UTF-16BE") + std::string(2, '\0')},
  };
  TempDir dir;
  const std::string file = dir / "x.gly";
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    WriteFile(file, bytes);
    TIniFile ini(file);
    EXPECT_TRUE(ini.Unreadable());
    EXPECT_EQ(ini.ReadString("Font", "FontText", "d"), "d");
    ini.WriteString("Font", "FontText", "B");
    EXPECT_THROW(ini.UpdateFile(), EIniFileException);
    EXPECT_EQ(ReadFile(file), bytes);
  }
  // A byte-order mark alone is an empty UTF-16 file.
  WriteFile(file, "\xFF\xFE");
  TIniFile ini(file);
  EXPECT_FALSE(ini.Unreadable());
  ini.WriteString("S", "K", "v");
  ini.UpdateFile();
  EXPECT_EQ(ReadFile(file), "\xFF\xFE" + Encode("[S]\r\nK=v\r\n", "UTF-16LE"));
}

// The peak resident memory, in KiB, of a child that reads and saves `file`,
// or -1 when it failed. The child gets `limitBytes` of address space, so a
// regression fails here rather than exhausting the machine.
long PeakKibWhileLoading(const std::string& file, rlim_t limitBytes) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit limit{limitBytes, limitBytes};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    long peak = -1;
    try {
      TIniFile ini(file);
      if (ini.ReadString("Font", "FontText", "") == "end" && ini.ReadString("Many", "k0", "") == "0" &&
          ini.ReadString("many", "K99999", "") == "99999") {
        ini.WriteString("Many", "k5", "five");
        ini.UpdateFile();
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
          if (line.starts_with("VmHWM:")) peak = std::stol(line.substr(6));
      }
    } catch (...) {}
    const bool sent = ::write(fds[1], &peak, sizeof peak) == sizeof peak;
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  long peak = -1;
  if (child < 0 || ::read(fds[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return peak;
}

TEST(IniFile, ManyLinesCostMemoryNearTheFileSize) {
  TempDir dir;
  const std::string file = dir / "big.gly";
  {
    std::ofstream out(file, std::ios::binary);
    out << "[Many]\n";
    for (int i = 0; i < 100000; ++i) out << "k" << i << "=" << i << "\n";
    out << std::string(24 << 20, '\n') << "[Font]\nFontText=end\n";
  }
  const long fileKib = static_cast<long>(std::filesystem::file_size(file) / 1024);
  const long peak = PeakKibWhileLoading(file, rlim_t{1} << 30);
  ASSERT_GT(peak, 0) << "the child failed to read the file";
  // The file, its index and the saved copy (about 3.4 times the file here);
  // keeping each line as strings of its own costs some hundred times more.
  EXPECT_LT(peak, 6 * fileKib) << "peak " << peak << " KiB for a file of " << fileKib << " KiB";
  EXPECT_EQ(TIniFile(file).ReadString("Many", "k5", ""), "five");
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
