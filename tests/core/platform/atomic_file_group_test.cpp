// SPDX-License-Identifier: MIT
// Files written together: each is synced before anything replaces a target,
// and one whose sync fails leaves its target as it was while the others land.
#include <atomic>
#include <cerrno>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/atomic_file.h"
#include "support/scoped_seam.h"
#include "support/test_support.h"

using namespace glyphor;
using namespace glyphor::test;

namespace {

std::atomic<int> synced{0}, renamedEarly{0};

TEST(AtomicFileGroup, EachFileLandsWholeOrLeavesItsTargetAlone) {
  TempDir dir;
  for (const char* name : {"a.svg", "b.svg", "c.svg"}) WriteFile(dir / name, "earlier");
  WriteFile(dir / "locked.svg", "keep");
  ::chmod((dir / "locked.svg").c_str(), 0444);

  ScopedSeam<FileSystemCalls> seam(FileSystemSeam());
  // The temporary file that holds "new b" cannot be synced.
  seam->fsync = [](int fd) {
    char head[5] = {};
    if (::pread(fd, head, sizeof head, 0) == 5 && std::string(head, 5) == "new b") return errno = EIO, -1;
    ++synced;
    return ::fsync(fd);
  };
  seam->rename = [](const char* from, const char* to) {
    if (synced != 3) ++renamedEarly;
    return ::rename(from, to);
  };
  AtomicFileGroup group;
  EXPECT_EQ(group.Add(dir / "a.svg", "new a"), WriteResult::Ok);
  EXPECT_EQ(group.Add(dir / "locked.svg", "new"), WriteResult::CannotCreate);
  EXPECT_EQ(group.Add(dir / "b.svg", "new b"), WriteResult::Ok);
  EXPECT_EQ(group.Add(dir / "c.svg", "new c"), WriteResult::Ok);
  EXPECT_EQ(group.Add(dir / "d.svg", "new d"), WriteResult::Ok);
  EXPECT_EQ(ReadFile(dir / "a.svg"), "earlier");  // nothing lands before the commit
  EXPECT_EQ(group.Commit(),
            (std::vector<WriteResult>{WriteResult::Ok, WriteResult::WriteFailed, WriteResult::Ok, WriteResult::Ok}));
  EXPECT_EQ(renamedEarly, 0);
  EXPECT_EQ(ReadFile(dir / "a.svg"), "new a");
  EXPECT_EQ(ReadFile(dir / "b.svg"), "earlier");
  EXPECT_EQ(ReadFile(dir / "c.svg"), "new c");
  EXPECT_EQ(ReadFile(dir / "d.svg"), "new d");
  EXPECT_EQ(ReadFile(dir / "locked.svg"), "keep");

  // A group dropped without a commit leaves nothing behind.
  {
    AtomicFileGroup dropped;
    EXPECT_EQ(dropped.Add(dir / "e.svg", "new e"), WriteResult::Ok);
  }
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"a.svg", "b.svg", "c.svg", "d.svg", "locked.svg"}));
}

}  // namespace
