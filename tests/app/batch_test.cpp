// SPDX-License-Identifier: MIT
#include "app/batch.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/test_support.h"

using namespace glyphor;
using namespace glyphor::test;

namespace {

// A user of the program with a home of their own and nothing installed.
class BatchRun : public ::testing::Test {
 protected:
  TempDir home, cache;
  std::vector<std::string> Env() const { return UserEnvironment(home, cache); }
  std::string Gly(const std::string& name, const std::string& body) {
    const std::string path = home / name;
    WriteFile(path, body);
    return path;
  }
  static std::string Settings(const std::string& text, const std::string& extra = "") {
    return "[Font]\r\nFontName=DejaVu Sans\r\nFontSize=72\r\nFontCharset=0\r\nFontText=" + text + "\r\n" + extra +
           "[SVG]\r\nView=0\r\n";
  }
};

}  // namespace

TEST(BatchPaths, OutputBesideTheArgument) {
  EXPECT_EQ(BatchOutputPath("/w/Logo.GLY"), "/w/Logo.svg");
  EXPECT_EQ(BatchOutputPath("/w/a.b.gly"), "/w/a.b.svg");
  EXPECT_EQ(BatchOutputPath("/w.d/noext"), "/w.d/noext.svg");
  EXPECT_EQ(BatchOutputPath("rel.gly"), "rel.svg");
}

TEST_F(BatchRun, ConvertsASettingsFileBesideItself) {
  const std::string gly = Gly("Logo.GLY", Settings("A"));
  const RunResult r = RunGlyphor({gly, "ignored.txt"}, Env());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string svg = ReadFile(home / "Logo.svg");
  const std::string head =
      "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"18.8990mm\" height=\"31.0275mm\" "
      "viewBox=\"0 0 18.8990 31.0275\">\r\n<path ";
  EXPECT_EQ(svg.substr(0, head.size()), head);
  EXPECT_NE(svg.find("d=\"M9.4495 8.2430 L6.0205 17.4505"), std::string::npos);
  // A batch run writes no settings of its own.
  EXPECT_EQ(ListDir(home.path()), (std::vector<std::string>{"Logo.GLY", "Logo.svg"}));
}

TEST_F(BatchRun, CutReadySettingsWriteTheCutReadyDocumentOnTheSamePage) {
  const std::string plain = Gly("plain.gly", Settings("A")), cut = Gly("cut.gly", Settings("A") + "CutReady=1\r\n");
  ASSERT_EQ(RunGlyphor({plain}, Env()).exitCode, 0);
  ASSERT_EQ(RunGlyphor({cut}, Env()).exitCode, 0);
  const std::string normal = ReadFile(home / "plain.svg"), regions = ReadFile(home / "cut.svg");
  const size_t page = normal.find("<path ");
  EXPECT_EQ(regions.substr(0, page), normal.substr(0, page));
  EXPECT_NE(regions.find("<path id=\"outline\" style=\"fill:#000000; stroke:none\" d=\"M"), std::string::npos);
  EXPECT_NE(regions.find("<path id=\"fill\" style=\"fill:#FF0000; stroke:none\" d=\"M"), std::string::npos);
}

TEST_F(BatchRun, AMissingFileConvertsTheDefaults) {
  const RunResult r = RunGlyphor({home / "absent.gly"}, Env());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string svg = ReadFile(home / "absent.svg");
  // "GLYPHOR" in the default face at 100 points, red on a 0.5 mm black outline.
  EXPECT_NE(svg.find("fill:#FF0000; stroke:#000000; stroke-width:0.5000; stroke-linejoin:miter"), std::string::npos);
  // The default settings ask for the viewer, but with no display none is
  // looked for, so there is nothing to say.
  EXPECT_EQ(r.err, "");
}

TEST_F(BatchRun, ArgumentsThatAreNoSettingsFile) {
  const std::string notes = Gly("notes.txt", Settings("A"));
  RunResult r = RunGlyphor({notes}, Env());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "使い方: glyphor [FILE.gly]\n");
  EXPECT_EQ(ListDir(home.path()), std::vector<std::string>{"notes.txt"});

  r = RunGlyphor({"--version"}, Env());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("GLYPHOR ", 0), 0u);
  r = RunGlyphor({"--help"}, Env());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("FILE.gly"), std::string::npos);

  // No argument and no display: the window cannot open.
  r = RunGlyphor({}, Env());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("ディスプレイ"), std::string::npos);
}

TEST_F(BatchRun, FailuresEndWithTheirMessageAndStatusOne) {
  const std::string badColor = Gly("bad.gly", Settings("A", "FontColor=red\r\n"));
  RunResult r = RunGlyphor({badColor}, Env());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "'red' は整数ではありません\n");
  EXPECT_FALSE(FileExists(home / "bad.svg"));

  ::mkdir((home / "folder.gly").c_str(), 0755);
  r = RunGlyphor({home / "folder.gly"}, Env());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, home / "folder.gly" + " を読み込めません\n");
  EXPECT_FALSE(FileExists(home / "folder.svg"));

  const std::string unwritable = home / "missing-folder/x.gly";
  r = RunGlyphor({unwritable}, Env());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "ファイル " + home / "missing-folder/x.svg" + " を作成できません\n");

  // Hostile texts end with a clear outcome, never a signal.
  const std::string junk =
      Gly("junk.gly", Settings(std::string("\xff\xfe\x01\x02\xf0\x9f\x98\x80", 8) + std::string(10000, 'W')));
  r = RunGlyphor({junk}, Env());
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(BatchRun, OpensTheWrittenSvgInTheDefaultViewerWhenADisplayExists) {
  // A viewer that records each document it was asked to open.
  const std::string marker = home / "opened";
  const std::string viewer = home / "my viewer.sh";
  WriteFile(viewer, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + marker + "'\n");
  ::chmod(viewer.c_str(), 0755);
  ::mkdir((home / ".local").c_str(), 0755);
  ::mkdir((home / ".local/share").c_str(), 0755);
  ::mkdir((home / ".local/share/applications").c_str(), 0755);
  WriteFile(home / ".local/share/applications/test-viewer.desktop",
            "[Desktop Entry]\nType=Application\nName=Viewer\nExec=\"" + viewer + "\" %f\nMimeType=image/svg+xml;\n");
  ::mkdir((home / ".config").c_str(), 0755);
  WriteFile(home / ".config/mimeapps.list", "[Default Applications]\nimage/svg+xml=test-viewer.desktop\n");

  // With no display at all, no viewer is started; with one, it is.
  const std::string headless = Gly("headless.gly", "[Font]\r\nFontName=DejaVu Sans\r\nFontText=A\r\n");
  const std::string gly = Gly("with view.gly", "[Font]\r\nFontName=DejaVu Sans\r\nFontText=A\r\n[SVG]\r\nView=1\r\n");
  RunResult r = RunGlyphor({headless}, Env());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> env = Env();
  env.push_back("DISPLAY=:97");
  r = RunGlyphor({gly}, env);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (int i = 0; i < 100 && !FileExists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReadFile(marker), home / "with view.svg" + "\n");

  // The option form opens one only when asked.
  EXPECT_EQ(RunGlyphor({"-q", gly}, env).exitCode, 0);
  r = RunGlyphor({"--view", "-o", home / "asked.svg", gly}, env);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (int i = 0; i < 100 && ReadFile(marker).find("asked") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReadFile(marker), home / "with view.svg" + "\n" + home / "asked.svg" + "\n");
}

// A message box waits for a click. The classic form shows one only where a
// display exists and standard error is no terminal (a double-click in a file
// manager); the option form never does. The window module, which holds the
// toolkit, is loaded only for a box.
TEST_F(BatchRun, MessageBoxesOnlyWhereNobodyReadsStandardError) {
  const std::string bad = Gly("bad.gly", Settings("A", "FontColor=red\r\n"));
  TempDir trace;
  // A display that is configured but where no server answers.
  int display = 150;
  while (FileExists("/tmp/.X11-unix/X" + std::to_string(display))) ++display;
  std::vector<std::string> env = Env();
  env.insert(env.end(), {"DISPLAY=:" + std::to_string(display), "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + trace / "ld"});
  auto loadedModule = [&] {
    std::string all;
    for (const std::string& f : ListDir(trace.path())) all += ReadFile(trace / f);
    std::filesystem::remove_all(trace.path());
    std::filesystem::create_directory(trace.path());
    return all.find("libglyphor_window.so") != std::string::npos;
  };

  RunOptions terminal;
  terminal.stderrTerminal = true;
  RunResult r = RunGlyphor({bad}, env, terminal);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "'red' は整数ではありません\n");
  EXPECT_FALSE(loadedModule());

  r = RunGlyphor({"-q", bad}, env);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "glyphor: " + bad + ": [Font] FontColor: 'red' は整数ではありません\n");
  EXPECT_FALSE(loadedModule());

  // From a file manager the box is tried (no server answers, so none shows).
  r = RunGlyphor({bad}, env);
  EXPECT_EQ(r.exitCode, 1);
  if (FileExists(std::filesystem::path(GLYPHOR_BINARY).parent_path() / "libglyphor_window.so")) {
    EXPECT_TRUE(loadedModule());
  }
}

TEST_F(BatchRun, RemembersFaceMatchesOnlyWhileFontconfigIsUnchanged) {
  const std::string gly = Gly("a.gly", Settings("Ag"));
  ASSERT_EQ(RunGlyphor({gly}, Env()).exitCode, 0);
  const std::string first = ReadFile(home / "a.svg");
  const std::string record = cache / "glyphor/face-matches";
  const std::string saved = ReadFile(record);
  ASSERT_NE(saved.find("face "), std::string::npos);

  // A record is trusted: point it at another font file and the next run uses it.
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  const std::string serif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
  auto hex = [](const std::string& s) {
    std::string h;
    char b[3];
    for (unsigned char c : s) snprintf(b, sizeof b, "%02x", c), h += b;
    return h;
  };
  std::string forged = saved;
  const size_t at = forged.find(hex(dejavu));
  ASSERT_NE(at, std::string::npos);
  forged.replace(at, hex(dejavu).size(), hex(serif));
  WriteFile(record, forged);
  ASSERT_EQ(RunGlyphor({gly}, Env()).exitCode, 0);
  EXPECT_NE(ReadFile(home / "a.svg"), first);

  // A user's fontconfig folder appearing makes the record stale.
  ::mkdir((home / ".config").c_str(), 0755);
  ::mkdir((home / ".config/fontconfig").c_str(), 0755);
  ASSERT_EQ(RunGlyphor({gly}, Env()).exitCode, 0);
  EXPECT_EQ(ReadFile(home / "a.svg"), first);

  // So does a damaged record.
  WriteFile(record, "glyphor face matches 1\nface zz 0 zz\n");
  ASSERT_EQ(RunGlyphor({gly}, Env()).exitCode, 0);
  EXPECT_EQ(ReadFile(home / "a.svg"), first);
}
