// SPDX-License-Identifier: MIT
// The user's folders from the XDG conventions, and where the own settings
// file goes.
#include "core/platform/special_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/xdg_home.h"

namespace glyphor {
namespace {

using test::FileExists;

class SpecialFoldersTest : public test::XdgHomeTest {
 protected:
  void UserDirs(const std::string& text) { Put(configHome() + "/user-dirs.dirs", text); }
  static bool IsDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
};

TEST_F(SpecialFoldersTest, DocumentsFallBackToDocumentsThenHome) {
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home());
  MakeDir(home() + "/Documents");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Documents");
  // A trailing separator in $HOME does not reach the result.
  SetVar("HOME", home() + "/");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Documents");
}

TEST_F(SpecialFoldersTest, DocumentsFromUserDirs) {
  MakeDir(home() + "/Documents");
  UserDirs(
      "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Papers");
  UserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home());
  UserDirs("  XDG_DOCUMENTS_DIR=\"/srv/my \\\"docs\\\"/\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), "/srv/my \"docs\"");
  // A relative value is no valid entry, and a commented one is none at all.
  UserDirs("XDG_DOCUMENTS_DIR=\"Papers\"\n#XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Documents");
}

TEST_F(SpecialFoldersTest, DesktopIsCreatedWhereUserDirsSaysUnlessThatIsHome) {
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Desktop");
  EXPECT_TRUE(IsDir(home() + "/Desktop"));
  UserDirs("XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Arbeitsfläche");
  EXPECT_TRUE(IsDir(home() + "/Arbeitsfläche"));
  UserDirs("XDG_DESKTOP_DIR=\"$HOME\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Desktop");
}

TEST_F(SpecialFoldersTest, ProgramsFolderIsCreated) {
  EXPECT_EQ(GetSpecialFolder(kFolderPrograms), dataHome() + "/applications");
  EXPECT_TRUE(IsDir(dataHome() + "/applications"));
  // An unset or relative XDG_DATA_HOME means ~/.local/share.
  SetVar("XDG_DATA_HOME", "relative/share");
  EXPECT_EQ(GetSpecialFolder(kFolderPrograms), home() + "/.local/share/applications");
  EXPECT_TRUE(IsDir(home() + "/.local/share/applications"));
}

TEST_F(SpecialFoldersTest, UnknownNumbersAndMissingHome) {
  EXPECT_EQ(GetSpecialFolder(1), "");
  EXPECT_EQ(GetSpecialFolder(-1), "");
  ::unsetenv("HOME");
  const passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(HomeFolder(), pw->pw_dir);
}

// HOME=/nonexistent/x (a daemon's account, a typo) must not make /nonexistent.
TEST_F(SpecialFoldersTest, NothingIsMadeAtOrAboveTheHomeFolder) {
  const std::string missing = root() / "missing", home = missing + "/x";
  SetVar("HOME", home);
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(GetSpecialFolder(kFolderPrograms), home + "/.local/share/applications");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home + "/Desktop");
  EXPECT_FALSE(MakeFolders(home));
  EXPECT_FALSE(FileExists(missing));
  // A batch run whose face cache would go below that home.
  test::WriteFile(root() / "a.gly", "[Font]\r\nFontName=DejaVu Sans\r\nFontText=A\r\n[SVG]\r\nView=0\r\n");
  const test::RunResult r = test::RunGlyphor({root() / "a.gly"}, {"HOME=" + home});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(FileExists(root() / "a.svg"));
  EXPECT_FALSE(FileExists(missing));
}

// user-dirs.dirs is read on every batch run: a FIFO or a device in its place
// must not hold the program up.
TEST_F(SpecialFoldersTest, UserDirsThatIsNoFileIsIgnored) {
  MakeDir(configHome());
  const std::string file = configHome() + "/user-dirs.dirs";
  ::alarm(20);  // a hang ends the test program
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home());
  ::unlink(file.c_str());
  ASSERT_EQ(::symlink("/dev/zero", file.c_str()), 0);
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home());
  ::alarm(0);
}

}  // namespace
}  // namespace glyphor
