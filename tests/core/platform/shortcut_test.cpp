// SPDX-License-Identifier: MIT
// Launchers written to the desktop and to the menu.
#include "core/platform/shortcut.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/platform/desktop_entry.h"
#include "core/platform/errors.h"
#include "core/platform/process_start.h"
#include "core/platform/viewer.h"
#include "support/scoped_seam.h"
#include "support/xdg_home.h"

namespace glyphor {
namespace {

using test::FileExists;
using test::ListDir;
using test::ReadFile;

class ShortcutTest : public test::XdgHomeTest {
 protected:
  ShortcutTest() {
    *starter_ = [this](const std::vector<std::string>& argv, StartMode mode) {
      starts_.push_back(argv);
      EXPECT_EQ(mode, StartMode::WaitQuietly);
      return 0;
    };
    MakeDir(home() + "/Desktop");
  }

  test::ScopedSeam<ProcessStarter> starter_{ProcessStarterSeam()};

  static mode_t Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  // Exec of a written entry, taken apart as a launcher would.
  static std::vector<std::string> LaunchArgs(const std::string& file) {
    const TDesktopEntry entry{file, "", "", UnescapeString(KeyValue(ReadKeyFile(file), "Desktop Entry", "Exec"))};
    return ExpandExec(entry, "DOC");
  }
  static void ExpectValid(const std::string& file) {
    if (FindProgram("desktop-file-validate").empty()) GTEST_SKIP() << "desktop-file-validate is not installed";
    const std::string command = "desktop-file-validate '" + file + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
    EXPECT_EQ(::pclose(pipe), 0) << output;
    EXPECT_EQ(output, "");
  }

  std::vector<std::vector<std::string>> starts_;
};

TEST_F(ShortcutTest, MenuEntryContent) {
  CreateShortcutFor("GLYPHOR 1.0A2", "PROGRAMS", "/opt/glyphor/bin/glyphor");
  const std::string file = dataHome() + "/applications/GLYPHOR 1.0A2.desktop";
  EXPECT_EQ(ReadFile(file),
            "[Desktop Entry]\nType=Application\nVersion=1.4\nName=GLYPHOR 1.0A2\n"
            "Exec=\"/opt/glyphor/bin/glyphor\"\nPath=/opt/glyphor/bin\nIcon=io.github.glyphor.Glyphor\n"
            "Terminal=false\nCategories=Graphics;\n");
  EXPECT_TRUE(starts_.empty());  // only the desktop copy is marked trusted
  ExpectValid(file);
}

TEST_F(ShortcutTest, DesktopEntryIsExecutableTrustedAndReplaced) {
  Put(home() + "/Schreibtisch/GLYPHOR 1.0A2.desktop", "old");
  ::chmod((home() + "/Schreibtisch/GLYPHOR 1.0A2.desktop").c_str(), 0600);
  Put(configHome() + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  CreateShortcutFor("GLYPHOR 1.0A2", "DESKTOP", "/opt/glyphor/glyphor");
  const std::string file = home() + "/Schreibtisch/GLYPHOR 1.0A2.desktop";
  EXPECT_EQ(ListDir(home() + "/Schreibtisch"), std::vector<std::string>{"GLYPHOR 1.0A2.desktop"});
  EXPECT_EQ(ReadFile(file), ShortcutEntryText("GLYPHOR 1.0A2", "/opt/glyphor/glyphor"));
  EXPECT_EQ(Mode(file), 0755u);
  if (FindProgram("gio").empty()) {
    EXPECT_TRUE(starts_.empty());
  } else {
    EXPECT_EQ(starts_, (std::vector<std::vector<std::string>>{{"gio", "set", file, "metadata::trusted", "true"}}));
  }
  EXPECT_TRUE(ListDir(home() + "/Desktop").empty());
}

TEST_F(ShortcutTest, AwkwardProgramPathSurvivesExecQuoting) {
  const std::string exe = root() / "a b/100% \"q\" $HOME `x` back\\slash/glyphor";
  CreateShortcutFor("GLYPHOR 1.0A2", "DESKTOP", exe);
  const std::string file = home() + "/Desktop/GLYPHOR 1.0A2.desktop";
  EXPECT_EQ(LaunchArgs(file), (std::vector<std::string>{exe, "DOC"}));
  EXPECT_EQ(UnescapeString(KeyValue(ReadKeyFile(file), "Desktop Entry", "Path")),
            root() / "a b/100% \"q\" $HOME `x` back\\slash");
  ExpectValid(file);
}

TEST_F(ShortcutTest, OtherDestinationsWriteNothing) {
  for (const char* destination : {"desktop", "Programs", "STARTMENU", ""})
    CreateShortcutFor("GLYPHOR 1.0A2", destination, "/opt/glyphor/glyphor");
  EXPECT_TRUE(ListDir(home() + "/Desktop").empty());
  EXPECT_FALSE(FileExists(dataHome() + "/applications"));
  EXPECT_TRUE(starts_.empty());
}

TEST_F(ShortcutTest, MissingDesktopIsMadeAndAFailedOneDoesNotStopTheMenu) {
  ::rmdir((home() + "/Desktop").c_str());
  CreateShortcutFor("GLYPHOR 1.0A2", "DESKTOP", "/opt/glyphor/glyphor");
  EXPECT_EQ(ListDir(home() + "/Desktop"), std::vector<std::string>{"GLYPHOR 1.0A2.desktop"});
  starts_.clear();

  // A desktop below a plain file cannot be made; the menu still gets its entry.
  Put(home() + "/blocked", "a file");
  Put(configHome() + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/blocked/Desktop\"\n");
  const std::string desktopFile = home() + "/blocked/Desktop/GLYPHOR 1.0A2.desktop";
  const auto both = [] {
    RunEachThenReport({[] { CreateShortcutFor("GLYPHOR 1.0A2", "DESKTOP", "/opt/glyphor/glyphor"); },
                       [] { CreateShortcutFor("GLYPHOR 1.0A2", "PROGRAMS", "/opt/glyphor/glyphor"); }});
  };
  try {
    both();
    ADD_FAILURE() << "no exception";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + desktopFile + " を作成できません");
  }
  EXPECT_TRUE(FileExists(dataHome() + "/applications/GLYPHOR 1.0A2.desktop"));
  EXPECT_TRUE(starts_.empty());
  // Both failing: both are named.
  SetVar("XDG_DATA_HOME", home() + "/blocked/data");
  try {
    both();
    ADD_FAILURE() << "no exception";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + desktopFile + " を作成できません\nファイル " + home() +
                                         "/blocked/data/applications/GLYPHOR 1.0A2.desktop を作成できません");
  }
}

TEST_F(ShortcutTest, RunningProgramIsTheTarget) {
  CreateShortcut("GLYPHOR 1.0A2", "PROGRAMS");
  const auto args = LaunchArgs(dataHome() + "/applications/GLYPHOR 1.0A2.desktop");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].substr(args[0].rfind('/') + 1), "shortcut_test");
}

}  // namespace
}  // namespace glyphor
