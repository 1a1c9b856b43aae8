// SPDX-License-Identifier: MIT
// The option form, run as a script runs it: the grammar, each output kind on
// a file and on standard output against the window's own writers, several
// settings files with failures among them, and the exit statuses.
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/options.h"
#include "core/outline/capture.h"
#include "core/output/cut_library.h"
#include "core/output/cut_writers.h"
#include "core/output/metafile_picture.h"
#include "core/output/metafile_save.h"
#include "core/output/svg_writer.h"
#include "core/settings/settings_io.h"
#include "support/test_support.h"

using namespace glyphor;
using namespace glyphor::test;

namespace {

// The font file the capture draws `face` with, as the verbose report names it.
std::string FontFile(const std::string& face) {
  std::string file;
  SetCaptureFacesObserver([&](const CaptureFaces& faces) { file = faces.file; });
  TFontSpec font;
  font.Name = face;
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath("A", font, 400, 96, path, width, height);
  SetCaptureFacesObserver({});
  return file;
}

class NoMessages : public TUserMessages {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << text; }
};

// A user with a home of their own, nothing installed and no display, working
// in that home.
class CommandLine : public ::testing::Test {
 protected:
  CommandLine() { InstallLinkedCutWriters(); }  // the reference of the program's module
  TempDir home, cache;
  std::vector<std::string> Env() const { return UserEnvironment(home, cache); }
  RunResult Run(const std::vector<std::string>& args, const std::string& input = "") const {
    RunOptions options;
    options.input = input;
    options.workDir = home.path();
    return RunGlyphor(args, Env(), options);
  }
  // A settings file in the home folder.
  std::string Gly(const std::string& name, const std::string& text, const std::string& extra = "") const {
    WriteFile(home / name, Settings(text, extra));
    return name;
  }
  // `extra` keys of section Font come first, so they win over the defaults here.
  static std::string Settings(const std::string& text, const std::string& extra = "") {
    return "[Font]\r\n" + extra + "FontName=DejaVu Sans\r\nFontSize=72\r\nFontCharset=0\r\nFontText=" + text +
           "\r\n[SVG]\r\nView=0\r\n";
  }
  // What the classic form writes for a settings file: the reference.
  std::string ClassicSvg(const std::string& name, const std::string& text, const std::string& extra = "") const {
    Gly(name, text, extra);
    const RunResult r = RunGlyphor({home / name}, Env());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ReadFile(home / ReplaceExtension(name, ".svg"));
  }
  // The settings the program reads from a settings file here.
  ConversionSettings Loaded(const std::string& name) const {
    SettingsModel model(DefaultScreenPpi);
    LoadSettings(model, home / name, home.path());
    model.SetViewAfterSave(false);
    return model.Values();
  }
  // Latin characters; 300 make a document of several 64 KiB pieces.
  static std::string LongLatinText(size_t length = 300) {
    std::string text;
    while (text.size() < length) text += "The quick brown fox jumps over the lazy dog. ";
    return text.substr(0, length);
  }
  static std::string ReplaceExtension(const std::string& name, const std::string& ext) {
    return name.substr(0, name.rfind('.')) + ext;
  }
};

TEST_F(CommandLine, UsageErrorsWriteNothingAndExitWithTwo) {
  Gly("a.gly", "A");
  Gly("b.gly", "B");
  ::mkdir((home / "out").c_str(), 0755);
  WriteFile(home / "notes.txt", "");
  ::symlink("a.gly", (home / "link.svg").c_str());
  const std::vector<std::string> before = ListDir(home.path());
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"a.gly", "--bogus"}, "--bogus は不明なオプションです"},
      {{"-qx"}, "-x は不明なオプションです"},
      {{"a.gly", "--output"}, "オプション --output には値が必要です"},
      {{"--quiet=1"}, "オプション --quiet は値をとりません"},
      {{"-f", "png"}, "-f: 'png' は出力形式 (svg, emf, wmf, dxf) ではありません"},
      {{"--join=square"}, "--join: 'square' は接合形式 (miter, round, bevel) ではありません"},
      {{"--style", "bold,"}, "--style: 'bold,' は文字飾り (bold, italic, underline, strikeout) ではありません"},
      {{"--size", "12pt"}, "--size: '12pt' は整数ではありません"},
      {{"--fill", "pink"}, "--fill: 'pink' は整数ではありません"},
      {{"--stroke-width", "1,5"}, "--stroke-width: '1,5' は数値ではありません"},
      {{"--set", "FontSize=3"}, "--set: 'FontSize=3' は Section.Key=VALUE の形ではありません"},
      {{"--set", "Font.FontSise=3"}, "--set Font.FontSise: キー Font.FontSise は設定ファイルにありません"},
      {{"--set=SVG.Resolution=high"}, "--set SVG.Resolution: 'high' は整数ではありません"},
      {{"-q", "notes.txt"}, "notes.txt は .gly ファイルではありません"},
      {{"-q", ""}, "空のファイル名は使えません"},
      {{"-", "-"}, "標準入力 (-) は一度しか読めません"},
      {{"--text-file=-", "-"}, "標準入力 (-) は一度しか読めません"},
      {{"-o", "-", "a.gly", "b.gly"}, "標準出力 (-o -) には一つの変換しか書き出せません"},
      {{"-o", "missing", "a.gly", "b.gly"}, "フォルダ missing がありません (入力が複数のとき -o はフォルダです)"},
      {{"-o", "b.gly", "a.gly"}, "b.gly は設定ファイルなので書き出せません"},
      {{"-o", "link.svg", "a.gly"}, "link.svg は設定ファイルなので書き出せません"},
      {{"-o", "out", "a.gly", "sub/a.gly"}, "out/a.svg に二つの変換が書き出されます"},
      {{"-t", "two\nlines"}, "-t: 改行は使えません (テキストは一行です)"},
      {{"--text", "\xff"}, "--text: UTF-8 のテキストではありません"},
      {{"--text-file", "none.txt"}, "--text-file: none.txt を読み込めません"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    SCOPED_TRACE(c.message);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              "glyphor: " + c.message + "\n使い方: glyphor [オプション] [FILE.gly ...]  (詳しくは glyphor --help)\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ListDir(home.path()), before);
  }
  // --help and --version are options like any other, and convert nothing.
  EXPECT_EQ(Run({"a.gly", "--version"}).out.rfind("GLYPHOR ", 0), 0u);
  EXPECT_NE(Run({"a.gly", "-qh"}).out.find("--stroke-width"), std::string::npos);
  EXPECT_EQ(ListDir(home.path()), before);
}

TEST_F(CommandLine, EveryWayOfWritingAnOptionMeansTheSame) {
  const std::string reference = ClassicSvg("ref.gly", "Ab");
  Gly("base.gly", "Zz");
  Gly("-dash.gly", "Ab");
  const std::vector<std::vector<std::string>> forms = {
      {"-o", "-", "--text=Ab", "base.gly"},
      {"-o-", "-tAb", "base.gly"},
      {"base.gly", "--output", "-", "-t", "Ab"},
      {"-qo", "-", "--text", "Ab", "--", "base.gly"},
      {"base.gly", "-t", "Zz", "--set", "font.fonttext=Ab", "-o", "-"},  // the later one wins
      {"-o", "-", "--", "-dash.gly"},
      {"-o", "-", "-"},  // the settings on standard input
  };
  for (const auto& args : forms) {
    const RunResult r = Run(args, Settings("Ab"));
    EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(r.out, reference) << args[0];
  }
}

TEST_F(CommandLine, OverridesTakeTheSettingsFilesRules) {
  // Each option against the settings-file key it stands for, ranges included.
  WriteFile(home / "ref.gly",
            "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=48\r\nFontStyle=3\r\nFontColor=$00FF8000\r\n"
            "FontCharset=0\r\nFontText=Ag\r\nFontStrokeColor=clNavy\r\nFontStrokeWidth=126\r\nFontLineJoin=1\r\n"
            "FontMiterLimit=7\r\nFontFukuromoji=1\r\n[SVG]\r\nResolution=100\r\nView=0\r\n");
  ASSERT_EQ(RunGlyphor({home / "ref.gly"}, Env()).exitCode, 0);
  const std::string reference = ReadFile(home / "ref.svg");
  Gly("base.gly", "Ag");
  RunResult r = Run({"base.gly",
                     "-o",
                     "-",
                     "--font",
                     "DejaVu Serif",
                     "--size=48",
                     "--style=italic,BOLD",
                     "--fill",
                     "#0080ff",
                     "--stroke",
                     "clnavy",
                     "--stroke-width",
                     "1.255",
                     "--join",
                     "round",
                     "--miter-limit",
                     "7",
                     "--transparent",
                     "--two-layer",
                     "--resolution",
                     "100"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, reference);

  const std::string wide = ClassicSvg("wide.gly", "Ag", "FontStrokeWidth=5000\r\n");
  r = Run({"base.gly", "-o", "-", "--stroke-width", "50"});
  EXPECT_EQ(r.out, wide);
}

TEST_F(CommandLine, EachOutputKindIsWhatTheWindowWrites) {
  Gly("x.gly", "袋", "FontName=IPAPGothic\r\nFontStrokeWidth=120\r\nFontFukuromoji=1\r\nFontLineJoin=2\r\n");
  SettingsModel model(DefaultScreenPpi);
  LoadSettings(model, home / "x.gly", home.path());
  model.SetViewAfterSave(false);
  TempDir window;
  NoMessages messages;
  WriteSvg(window / "w.svg", model.Values(), DefaultScreenPpi, messages);
  MetafilePicture picture;
  BuildMetafile(picture, model.Values(), DefaultScreenPpi);
  SaveMetafileFile(window / "w.emf", picture);
  SaveMetafileFile(window / "w.wmf", picture);
  const std::string svg = ReadFile(window / "w.svg"), emf = ReadFile(window / "w.emf"),
                    wmf = ReadFile(window / "w.wmf");
  ASSERT_EQ(wmf.substr(0, 4), "\xD7\xCD\xC6\x9A");

  struct Case {
    std::vector<std::string> args;
    std::string file;  // "" for standard output
    const std::string& expected;
  };
  const Case cases[] = {
      {{"x.gly", "-o", "a.svg"}, "a.svg", svg},
      {{"x.gly", "-o", "a.emf"}, "a.emf", emf},
      {{"x.gly", "-o", "a.WMF"}, "a.WMF", wmf},
      {{"-f", "wmf", "x.gly"}, "x.wmf", wmf},
      {{"-f", "emf", "-o", "picture.svg", "x.gly"}, "picture.svg", emf},  // the format given wins
      {{"x.gly", "-o", "-"}, "", svg},
      {{"x.gly", "-femf", "-o-"}, "", emf},
      {{"x.gly", "--format=wmf", "--output=-"}, "", wmf},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(c.file.empty() ? r.out == c.expected : ReadFile(home / c.file) == c.expected);
  }
  // No settings file: glyphor.svg in the current folder.
  EXPECT_EQ(Run({"-t", "Ab", "--font=DejaVu Sans", "--size=72", "--set", "Font.FontCharset=0"}).exitCode, 0);
  EXPECT_EQ(ReadFile(home / "glyphor.svg"), ClassicSvg("ref.gly", "Ab"));
}

TEST_F(CommandLine, SeveralFilesWithFailuresAmongThem) {
  Gly("a.gly", "A");
  Gly("bad.gly", "B", "FontColor=red\r\n");
  Gly("c.gly", "C");
  ::mkdir((home / "out").c_str(), 0755);
  WriteFile(home / "out/bad.svg", "earlier");
  WriteFile(home / "out/c.svg", "read-only");
  ::chmod((home / "out/c.svg").c_str(), 0444);
  const RunResult r = Run({"-o", "out", "a.gly", "bad.gly", "missing.gly", "c.gly", "-v"});
  EXPECT_EQ(r.exitCode, 1);
  // The faces' files depend on the machine; the rest is exact.
  const std::string dejavu = FontFile("DejaVu Sans");
  EXPECT_EQ(r.err, "glyphor: a.gly: フォント DejaVu Sans: DejaVu Sans (" + dejavu +
                       ")\n"
                       "glyphor: a.gly: 「A」: DejaVu Sans (" +
                       dejavu +
                       ")\n"
                       "glyphor: bad.gly: [Font] FontColor: 'red' は整数ではありません\n"
                       "glyphor: missing.gly: ファイルがありません\n"
                       "glyphor: c.gly: フォント DejaVu Sans: DejaVu Sans (" +
                       dejavu +
                       ")\n"
                       "glyphor: c.gly: 「C」: DejaVu Sans (" +
                       dejavu +
                       ")\n"
                       "glyphor: c.gly: ファイル out/c.svg を作成できません\n"
                       "glyphor: a.gly: out/a.svg に書き出しました\n");
  EXPECT_EQ(ReadFile(home / "out/a.svg"), ClassicSvg("a.gly", "A"));
  EXPECT_EQ(ReadFile(home / "out/bad.svg"), "earlier");
  EXPECT_EQ(ReadFile(home / "out/c.svg"), "read-only");
  EXPECT_EQ(ListDir(home / "out"), (std::vector<std::string>{"a.svg", "bad.svg", "c.svg"}));

  // Quiet: the same failures, nothing else; a face that had to stand in for
  // another is a warning in verbose mode only.
  Gly("odd.gly", "A", "FontName=NoSuchFace\r\n");
  RunResult q = Run({"-q", "bad.gly", "odd.gly"});
  EXPECT_EQ(q.exitCode, 1);
  EXPECT_EQ(q.err, "glyphor: bad.gly: [Font] FontColor: 'red' は整数ではありません\n");
  q = Run({"-v", "odd.gly"});
  EXPECT_EQ(q.exitCode, 0);
  EXPECT_NE(q.err.find("glyphor: odd.gly: 警告: フォント NoSuchFace がないため "), std::string::npos) << q.err;
}

TEST_F(CommandLine, TextsFromFilesAndStandardInputHaveNoLengthLimit) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "GLYPHOR 袋文字 " + std::to_string(i);
  ASSERT_GT(text.size(), 20000u);
  WriteFile(home / "long.txt", text + "\n");
  Gly("base.gly", "x");
  const RunResult file = Run({"base.gly", "-o", "-", "--text-file", "long.txt"});
  EXPECT_EQ(file.exitCode, 0) << file.err;
  const RunResult arg = Run({"base.gly", "-o", "-", "--text", text});
  EXPECT_EQ(arg.out, file.out);
  // A settings file cuts its values at 2047 bytes.
  const RunResult cut = Run({"-o", "-", Gly("cut.gly", text)});
  EXPECT_LT(cut.out.size(), file.out.size() / 5);

  const std::string reference = ClassicSvg("ref.gly", "Ab");
  for (const char* input : {"Ab", "Ab\n",
                            "\xEF\xBB\xBF"
                            "Ab\r\n"}) {
    const RunResult r = Run({"base.gly", "-o", "-", "--text-file", "-"}, input);
    EXPECT_EQ(r.out, reference) << input;
  }
  EXPECT_EQ(Run({"base.gly", "--text-file=-"}, "A\nB\n").exitCode, 2);
}

// Long documents are written in pieces as they are made, into the file and
// onto standard output: the bytes are those of the document made whole.
TEST_F(CommandLine, LongDocumentsWrittenAsTheyAreMadeAreTheWholeDocuments) {
  const std::string text = LongLatinText();
  for (const bool twoLayers : {false, true}) {
    Gly("long.gly", text, twoLayers ? "FontFukuromoji=1\r\nFontStrokeWidth=150\r\n" : "");
    const ConversionSettings s = Loaded("long.gly");
    for (const std::string format : {"svg", "dxf"}) {
      SCOPED_TRACE(format + (twoLayers ? ", two layers" : ""));
      const std::string whole =
          format == "svg" ? SvgDocumentFor(s, DefaultScreenPpi) : DxfDocumentFor(s, DefaultScreenPpi);
      ASSERT_GT(whole.size(), 2u * 64 * 1024);  // several pieces
      RunResult r = Run({"long.gly", "-o", "long." + format});
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_TRUE(ReadFile(home / ("long." + format)) == whole);
      r = Run({"long.gly", "-f", format, "-o", "-"});
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_TRUE(r.out == whole);
    }
  }

  // Two layers whose data is too long to keep for the second: it is read
  // back from the file, or formatted again for standard output.
  WriteFile(home / "long.txt", LongLatinText(2000));
  Gly("two.gly", "x", "FontFukuromoji=1\r\nFontStrokeWidth=150\r\n");
  ConversionSettings s = Loaded("two.gly");
  s.Text = LongLatinText(2000);
  const std::string whole = SvgDocumentFor(s, DefaultScreenPpi);
  ASSERT_GT(whole.size(), 2u << 20);
  RunResult r = Run({"two.gly", "--text-file", "long.txt", "-o", "two.svg"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(ReadFile(home / "two.svg") == whole);
  r = Run({"two.gly", "--text-file", "long.txt", "-o", "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out == whole);
}

// A file size limit (ulimit -f) reached part-way through a document: the
// earlier file stays as it was and no temporary file is left, whether the
// write fails (SIGXFSZ ignored) or the signal ends the program. Standard
// output keeps what it took, cut short, and the run fails.
TEST_F(CommandLine, AFileSizeLimitReachedPartWayKeepsTheEarlierFile) {
  Gly("long.gly", LongLatinText());
  Gly("short.gly", "A");
  const std::string whole = SvgDocumentFor(Loaded("long.gly"), DefaultScreenPpi);
  constexpr long long kLimit = 100000;
  ASSERT_GT(whole.size(), static_cast<size_t>(kLimit));
  ::mkdir((home / "out").c_str(), 0755);
  WriteFile(home / "out/long.svg", "earlier");
  WriteFile(home / "long.svg", "earlier");
  RunOptions limited;
  limited.workDir = home.path();
  limited.fileSizeLimit = kLimit;

  RunResult r = RunGlyphor({"-o", "out", "short.gly", "long.gly"}, Env(), limited);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "glyphor: long.gly: ファイル out/long.svg を作成できません\n");
  EXPECT_EQ(ReadFile(home / "out/long.svg"), "earlier");
  EXPECT_NE(ReadFile(home / "out/short.svg").find("</svg>"), std::string::npos);
  EXPECT_EQ(ListDir(home / "out"), (std::vector<std::string>{"long.svg", "short.svg"}));

  r = RunGlyphor({"long.gly", "-o", "-"}, Env(), limited);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "glyphor: long.gly: ストリームへの書き込みエラー\n");
  EXPECT_TRUE(r.out == whole.substr(0, kLimit));

  // The classic form, as the window saves.
  const std::vector<std::string> before = ListDir(home.path());
  r = RunGlyphor({home / "long.gly"}, Env(), limited);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "ファイル " + home / "long.svg" + " を作成できません\n");
  EXPECT_EQ(ReadFile(home / "long.svg"), "earlier");
  EXPECT_EQ(ListDir(home.path()), before);

  // The limit reached while the second layer is read back from the file.
  WriteFile(home / "long.txt", LongLatinText(2000));
  Gly("two.gly", "x", "FontFukuromoji=1\r\nFontStrokeWidth=150\r\n");
  WriteFile(home / "out/two.svg", "earlier");
  RunOptions secondLayer = limited;
  secondLayer.fileSizeLimit = 1800000;  // of about 2.2 MB, past the first layer's 1.1 MB
  r = RunGlyphor({"two.gly", "--text-file", "long.txt", "-o", "out/two.svg"}, Env(), secondLayer);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "glyphor: two.gly: ファイル out/two.svg を作成できません\n");
  EXPECT_EQ(ReadFile(home / "out/two.svg"), "earlier");

  limited.fileSizeSignalEnds = true;
  r = RunGlyphor({"long.gly", "-o", "out/long.svg"}, Env(), limited);
  EXPECT_EQ(r.signal, SIGXFSZ);
  EXPECT_EQ(ReadFile(home / "out/long.svg"), "earlier");
  EXPECT_EQ(ListDir(home / "out"), (std::vector<std::string>{"long.svg", "short.svg", "two.svg"}));
}

// The cut module makes its documents on the far side of a C interface. They
// are the linked writers' bytes, for settings that give each value crossing
// it one of its own, through the option form (SVG and DXF) and the classic
// form; the module is opened for these and for nothing else.
TEST_F(CommandLine, CutReadyDocumentsOfTheModuleAreTheLinkedWritersBytes) {
  const std::string cases[][2] = {
      {"FontName=IPAPGothic\r\nFontText=袋文字 Cut\r\n", "400"},
      {"FontText=Ag&\r\nFontFukuromoji=1\r\nFontStrokeWidth=150\r\nFontLineJoin=1\r\nFontColor=$0034AB12\r\n"
       "FontStrokeColor=$00785634\r\n",
       "600"},
      {"FontText=WAVE\r\nFontTransparent=1\r\nFontStrokeWidth=1\r\nFontLineJoin=2\r\nFontSize=-40\r\n", "1200"},
      {"FontText=Mitre\r\nFontStrokeWidth=300\r\nFontMiterLimit=1\r\n", "777"},
      {"FontText=No stroke\r\nFontStrokeWidth=0\r\n", "400"},
  };
  std::vector<std::string> names;
  for (const auto& [keys, resolution] : cases) {
    names.push_back("c" + std::to_string(names.size()) + ".gly");
    WriteFile(home / names.back(), "[Font]\r\n" + keys + "FontName=DejaVu Sans\r\nFontSize=72\r\nFontCharset=0\r\n" +
                                       "[SVG]\r\nView=0\r\nResolution=" + resolution + "\r\n");
  }
  TempDir trace;
  std::vector<std::string> env = Env();
  env.insert(env.end(), {"LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + trace / "ld"});
  auto run = [&](std::vector<std::string> args, const std::vector<std::string>& inputs) {
    args.insert(args.end(), inputs.begin(), inputs.end());
    RunOptions options;
    options.workDir = home.path();
    const RunResult r = RunGlyphor(args, env, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string loaded;
    for (const std::string& f : ListDir(trace.path())) {
      loaded += ReadFile(trace / f);
      std::filesystem::remove(trace / f);
    }
    return loaded.find("libglyphor_cut.so") != std::string::npos;
  };
  ::mkdir((home / "svg").c_str(), 0755);
  ::mkdir((home / "dxf").c_str(), 0755);
  EXPECT_FALSE(run({"-o", "svg"}, names));
  EXPECT_FALSE(run({"-f", "emf", "-o", "-"}, {names[0]}));
  EXPECT_TRUE(run({"--cut-ready", "-o", "svg"}, names));
  EXPECT_TRUE(run({"-f", "dxf", "-o", "dxf"}, names));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ConversionSettings s = Loaded(name);
    s.CutReady = true;
    const std::string base = ReplaceExtension(name, "");
    EXPECT_TRUE(ReadFile(home / ("svg/" + base + ".svg")) == SvgDocumentFor(s, DefaultScreenPpi));
    EXPECT_TRUE(ReadFile(home / ("dxf/" + base + ".dxf")) == DxfDocumentFor(s, DefaultScreenPpi));
  }
  WriteFile(home / "classic.gly", ReadFile(home / names[1]) + "CutReady=1\r\n");
  EXPECT_TRUE(run({home / "classic.gly"}, {}));
  EXPECT_TRUE(ReadFile(home / "classic.svg") == SvgDocumentFor(Loaded("classic.gly"), DefaultScreenPpi));
}

// An install that lacks its cut module: the conversions that need it fail
// with a message naming it and status 1, before their file is begun; the
// others are written.
TEST_F(CommandLine, WithoutTheCutModuleOnlyCutReadyConversionsFail) {
  TempDir tree;
  ::mkdir((tree / "bin").c_str(), 0755);
  const std::string program = tree / "bin/glyphor";
  std::filesystem::copy_file(GLYPHOR_BINARY, program);
  RunOptions copy;
  copy.program = program;
  copy.workDir = home.path();
  Gly("plain.gly", "A");
  WriteFile(home / "cut.gly", Settings("A") + "CutReady=1\r\n");
  ::mkdir((home / "out").c_str(), 0755);
  const std::string cannot = "カット用のモジュール libglyphor_cut.so を読み込めません: ";

  RunResult r = RunGlyphor({"-o", "out", "plain.gly", "cut.gly"}, Env(), copy);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.starts_with("glyphor: cut.gly: " + cannot)) << r.err;
  EXPECT_EQ(ListDir(home / "out"), std::vector<std::string>{"plain.svg"});
  r = RunGlyphor({"-f", "dxf", "-o", "-", "plain.gly"}, Env(), copy);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("glyphor: plain.gly: " + cannot)) << r.err;
  r = RunGlyphor({home / "cut.gly"}, Env(), copy);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.starts_with(cannot)) << r.err;
  EXPECT_FALSE(FileExists(home / "cut.svg"));

  // A damaged module is named with the loader's reason.
  WriteFile(tree / "bin/libglyphor_cut.so", "not a module");
  r = RunGlyphor({"--cut-ready", "-o", "-", "plain.gly"}, Env(), copy);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.starts_with("glyphor: plain.gly: " + cannot + tree / "bin/libglyphor_cut.so: ")) << r.err;
}

TEST(CommandLineParts, MillimetresAreKeptInHundredthsRoundedAwayFromZero) {
  EXPECT_EQ(MillimetresToHundredths("0.5"), 50);
  EXPECT_EQ(MillimetresToHundredths(".125"), 13);
  EXPECT_EQ(MillimetresToHundredths("-0.125"), -13);
  EXPECT_EQ(MillimetresToHundredths("0.12499999"), 12);
  EXPECT_EQ(MillimetresToHundredths("+3."), 300);
  EXPECT_EQ(MillimetresToHundredths("99999999999999"), INT_MAX);
  for (const char* bad : {"", ".", "-", "1.2.3", "1e3", "0x10", " 1"})
    EXPECT_FALSE(MillimetresToHundredths(bad)) << bad;
}

// The manual page, --help and the completion script name every option and
// every settings key; the keys come from the one key table.
TEST(CommandLineParts, DocumentsNameEveryOptionAndKey) {
  auto read = [](const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  const std::string manual = read(GLYPHOR_SOURCE_DIR "/data/glyphor.1");
  const std::string completion = read(GLYPHOR_SOURCE_DIR "/data/glyphor.bash");
  const std::string help = RunGlyphor({"--help"}).out;
  for (const std::string& name : OptionNames()) {
    std::string escaped;  // the manual page writes "-" as "\-"
    for (char c : "--" + name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(manual.find(escaped), std::string::npos) << name;
    EXPECT_NE(help.find("--" + name), std::string::npos) << name;
    EXPECT_NE(completion.find("--" + name), std::string::npos) << name;
  }
  for (const std::string& key : SettingNames()) {
    const size_t dot = key.find('.');
    EXPECT_NE(manual.find("[" + key.substr(0, dot) + "] " + key.substr(dot + 1)), std::string::npos) << key;
    EXPECT_NE(completion.find(key), std::string::npos) << key;
  }
}

}  // namespace
