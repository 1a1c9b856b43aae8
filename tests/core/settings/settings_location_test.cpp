// SPDX-License-Identifier: MIT
#include "core/settings/settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/xdg_home.h"

namespace glyphor {
namespace {

using test::FileExists;

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
