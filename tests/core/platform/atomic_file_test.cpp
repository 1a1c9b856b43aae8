#include "core/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

using namespace glyphor;
using namespace glyphor::test;

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

}  // namespace

TEST(AtomicFile, ReplacesWhatALinkPointsAtAndKeepsTheLink) {
  TempDir dir;
  WriteFile(dir / "real.ini", "old");
  ASSERT_EQ(::symlink("real.ini", (dir / "link.ini").c_str()), 0);
  ASSERT_EQ(WriteFileAtomically(dir / "link.ini", "new"), WriteResult::Ok);
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "new");
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST(AtomicFile, KeepsTheTargetsPermissionsAndRefusesWhatItCannotReplace) {
  TempDir dir;
  WriteFile(dir / "private.svg", "old");
  ::chmod((dir / "private.svg").c_str(), 0640);
  ASSERT_EQ(WriteFileAtomically(dir / "private.svg", "new"), WriteResult::Ok);
  EXPECT_EQ(ModeOf(dir / "private.svg"), 0640u);

  const mode_t mask = ::umask(022);
  ASSERT_EQ(WriteFileAtomically(dir / "fresh.svg", "x"), WriteResult::Ok);
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir / "fresh.svg"), 0644u);

  // A read-only file, a folder and a missing folder stay as they are.
  WriteFile(dir / "locked.svg", "keep");
  ::chmod((dir / "locked.svg").c_str(), 0444);
  EXPECT_EQ(WriteFileAtomically(dir / "locked.svg", "new"), WriteResult::CannotCreate);
  EXPECT_EQ(ReadFile(dir / "locked.svg"), "keep");
  ::mkdir((dir / "folder.svg").c_str(), 0755);
  EXPECT_EQ(WriteFileAtomically(dir / "folder.svg", "new"), WriteResult::CannotCreate);
  EXPECT_EQ(WriteFileAtomically(dir / "no/such.svg", "new"), WriteResult::CannotCreate);
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"folder.svg", "fresh.svg", "locked.svg", "private.svg"}));
}
