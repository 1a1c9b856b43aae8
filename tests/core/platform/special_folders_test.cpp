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

}  // namespace
}  // namespace glyphor
