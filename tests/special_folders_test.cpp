// The user's folders from the XDG conventions, and where the own settings
// file goes.
#include "core/special_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/settings_location.h"
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
  UserDirs("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Papers");
  UserDirs("XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home());
  UserDirs("  XDG_DOCUMENTS_DIR=\"/srv/my \\\"docs\\\"/\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), "/srv/my \"docs\"");
  // A relative value is no valid entry, and a commented one is none at all.
  UserDirs("XDG_DOCUMENTS_DIR=\"Papers\"\n#XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDocuments), home() + "/Documents");
}

TEST_F(SpecialFoldersTest, DesktopOnlyWhenItExistsAndIsNotHome) {
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Desktop");
  UserDirs("XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Desktop");
  MakeDir(home() + "/Arbeitsfläche");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home() + "/Arbeitsfläche");
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

class SettingsLocationTest : public test::XdgHomeTest {};

TEST_F(SettingsLocationTest, ExtensionReplacedOrAppended) {
  EXPECT_EQ(SettingsPathBesideExe("/opt/g/glyphor"), "/opt/g/glyphor.ini");
  EXPECT_EQ(SettingsPathBesideExe("/opt/g/GLYPHOR.EXE"), "/opt/g/GLYPHOR.ini");
  EXPECT_EQ(SettingsPathBesideExe("/opt/g/glyphor.bin.x"), "/opt/g/glyphor.bin.ini");
  EXPECT_EQ(SettingsPathBesideExe("/opt/g.d/glyphor"), "/opt/g.d/glyphor.ini");
}

TEST_F(SettingsLocationTest, PortableCopyKeepsItsSettingsBeside) {
  const std::string dir = root() / "portable copy";
  MakeDir(dir);
  const std::string exe = dir + "/glyphor";
  EXPECT_EQ(ChooseSettingsPath(exe, home(), configHome()), dir + "/glyphor.ini");
  // A folder without write bits still takes a writable settings file.
  Put(dir + "/glyphor.ini", "[Font]\n");
  ::chmod(dir.c_str(), 0555);
  EXPECT_EQ(ChooseSettingsPath(exe, home(), configHome()), dir + "/glyphor.ini");
  ::chmod(dir.c_str(), 0755);
}

TEST_F(SettingsLocationTest, InstalledOrReadOnlyGoesToConfigFolder) {
  const std::string user = configHome() + "/glyphor/glyphor.ini";
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/glyphor", home(), configHome()), user);
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/glyphor", "/home/u", ""), "/home/u/.config/glyphor/glyphor.ini");
  EXPECT_EQ(ChooseSettingsPath("/usr/bin/glyphor", "/home/u", "rel"), "/home/u/.config/glyphor/glyphor.ini");

  const std::string dir = root() / "ro";
  MakeDir(dir);
  ::chmod(dir.c_str(), 0555);
  EXPECT_EQ(ChooseSettingsPath(dir + "/glyphor", home(), configHome()), user);
  ::chmod(dir.c_str(), 0755);
  Put(dir + "/glyphor.ini", "");
  ::chmod((dir + "/glyphor.ini").c_str(), 0444);
  EXPECT_EQ(ChooseSettingsPath(dir + "/glyphor", home(), configHome()), user);
}

TEST_F(SettingsLocationTest, EnsureFolderCreatesParents) {
  const std::string path = configHome() + "/glyphor/glyphor.ini";
  ASSERT_TRUE(EnsureSettingsFolder(path));
  struct stat st {};
  ASSERT_EQ(::stat((configHome() + "/glyphor").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_FALSE(FileExists(path));
  Put(root() / "plain file", "x");
  EXPECT_FALSE(EnsureSettingsFolder((root() / "plain file") + "/glyphor/glyphor.ini"));
}

}  // namespace
}  // namespace glyphor
