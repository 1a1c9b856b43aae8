// SPDX-License-Identifier: MIT
#include "core/platform/atomic_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <stdexcept>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/scoped_seam.h"
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

namespace {

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and gives back its exit status, or 128 +
// the signal that ended it. With `asNobody`, root's child first becomes
// the unprivileged user 65534.
int InChild(const std::function<int()>& body, bool asNobody = false) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// WriteFileAtomically in a child that leaves no core dump (SIGXFSZ would
// make one); its exit status, or 128 + the signal that ended it.
int WriteInChildWithoutCore(const std::string& path, std::string_view bytes) {
  return InChild([&] {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    return static_cast<int>(WriteFileAtomically(path, bytes));
  });
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_ino;
}

}  // namespace

// fs.protected_symlinks: a link planted in a shared sticky folder by another
// user must not make us replace what it points at.
TEST(AtomicFile, FollowsLinksInSharedFoldersOnlyAsTheKernelWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  TempDir dir;
  const std::string shared = dir / "shared", victim = dir / "victim";
  ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  WriteFile(victim, "victim");
  const auto plant = [&](const std::string& name, uid_t owner) {
    const std::string link = shared + "/" + name;
    ::unlink(link.c_str());
    EXPECT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    EXPECT_EQ(::lchown(link.c_str(), owner, owner), 0);
    return link;
  };

  EXPECT_EQ(WriteFileAtomically(plant("report.svg", kNobody), "planted"), WriteResult::CannotCreate);
  EXPECT_EQ(ReadFile(victim), "victim");
  // Reached through a link of our own, the planted one is refused all the same.
  ASSERT_EQ(::symlink((shared + "/report.svg").c_str(), (dir / "mine.svg").c_str()), 0);
  EXPECT_EQ(WriteFileAtomically(dir / "mine.svg", "planted"), WriteResult::CannotCreate);
  EXPECT_EQ(ReadFile(victim), "victim");
  EXPECT_EQ(ListDir(shared), std::vector<std::string>{"report.svg"});

  // Our own link, and one of the folder's owner, are followed.
  EXPECT_EQ(WriteFileAtomically(plant("own.svg", 0), "own"), WriteResult::Ok);
  EXPECT_EQ(ReadFile(victim), "own");
  ASSERT_EQ(::chown(shared.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(WriteFileAtomically(plant("owners.svg", kNobody), "owner's"), WriteResult::Ok);
  EXPECT_EQ(ReadFile(victim), "owner's");
  // Without the sticky bit, or writable only by its owner, the folder is nobody's trap.
  ASSERT_EQ(::chown(shared.c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  EXPECT_EQ(WriteFileAtomically(plant("open.svg", kNobody), "open"), WriteResult::Ok);
  EXPECT_EQ(ReadFile(victim), "open");
  ASSERT_EQ(::chmod(shared.c_str(), 01755), 0);
  EXPECT_EQ(WriteFileAtomically(plant("closed.svg", kNobody), "closed"), WriteResult::Ok);
  EXPECT_EQ(ReadFile(victim), "closed");
}

// A file the user may write, in a folder where no temporary file can be made.
TEST(AtomicFile, WritesInPlaceWhereNoTemporaryFileCanBeMade) {
  TempDir dir;
  const bool root = ::geteuid() == 0;
  const std::string closed = dir / "closed", target = closed + "/out.svg", locked = closed + "/locked.svg";
  ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
  WriteFile(target, "a longer earlier content");
  WriteFile(locked, "keep");
  ::chmod(target.c_str(), 0644);
  ::chmod(locked.c_str(), 0444);
  if (root) {
    // The child runs as nobody: the folders stay root's, the file is nobody's.
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(locked.c_str(), kNobody, kNobody), 0);
  } else {
    ::chmod(closed.c_str(), 0555);
  }
  const ino_t inode = InodeOf(target);
  EXPECT_EQ(InChild([&] { return static_cast<int>(WriteFileAtomically(target, "new")); }, root),
            static_cast<int>(WriteResult::Ok));
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(InodeOf(target), inode);
  // Pieces made as they are written are gathered first: the size is needed.
  const ByteProducer pieces = [](ByteSink& out) {
    out.Write("streamed ");
    out.Write("in pieces");
  };
  EXPECT_EQ(InChild([&] { return static_cast<int>(WriteFileAtomically(target, pieces)); }, root),
            static_cast<int>(WriteResult::Ok));
  EXPECT_EQ(ReadFile(target), "streamed in pieces");
  EXPECT_EQ(InodeOf(target), inode);
  // A read-only file stays refused; nothing else appears in the folder.
  EXPECT_EQ(InChild([&] { return static_cast<int>(WriteFileAtomically(locked, "new")); }, root),
            static_cast<int>(WriteResult::CannotCreate));
  EXPECT_EQ(ReadFile(locked), "keep");
  EXPECT_EQ(ListDir(closed), (std::vector<std::string>{"locked.svg", "out.svg"}));
}

// A write never shows a temporary file while the bytes go in, and a run
// that dies there, even by SIGKILL, leaves the earlier file alone and
// nothing else.
TEST(AtomicFile, NothingShowsWhileWrittenAndNothingOutlivesAKilledRun) {
  TempDir dir;
  WriteFile(dir / "out.svg", "earlier");
  static std::string folder;
  static std::vector<std::string> seen;
  static int signalToRaise;
  folder = dir.path();
  test::ScopedSeam<FileSystemCalls> seam(FileSystemSeam());
  seam->write = [](int fd, const void* buf, size_t n) -> ssize_t {
    seen = ListDir(folder);
    if (signalToRaise) ::raise(signalToRaise);
    return ::write(fd, buf, n);
  };
  signalToRaise = 0;
  ASSERT_EQ(WriteFileAtomically(dir / "out.svg", "new"), WriteResult::Ok);
  EXPECT_EQ(seen, std::vector<std::string>{"out.svg"});
  EXPECT_EQ(ReadFile(dir / "out.svg"), "new");
  for (const int s : {SIGKILL, SIGINT, SIGXFSZ}) {
    signalToRaise = s;
    EXPECT_EQ(WriteInChildWithoutCore(dir / "out.svg", "newer"), 128 + s);
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"out.svg"}) << strsignal(s);
    EXPECT_EQ(ReadFile(dir / "out.svg"), "new");
  }
}

// Where the file system has no unnamed files, the temporary file has its
// name throughout: SIGINT, SIGTERM, SIGHUP and SIGXFSZ during a write take it
// along; an ignored signal stays ignored. Files an earlier run left are
// removed once they are a day old and ours.
TEST(AtomicFile, NamedTemporaryFilesDoNotOutliveTheirRun) {
  TempDir dir;
  WriteFile(dir / "out.svg", "earlier");
  // The signal arrives while the bytes are being written.
  static int signalToRaise;
  test::ScopedSeam<FileSystemCalls> seam(FileSystemSeam());
  seam->open = [](const char*, int, mode_t) { return errno = EOPNOTSUPP, -1; };
  seam->write = [](int fd, const void* buf, size_t n) -> ssize_t {
    ::raise(signalToRaise);
    return ::write(fd, buf, n);
  };
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
    signalToRaise = s;
    EXPECT_EQ(WriteInChildWithoutCore(dir / "out.svg", "new"), 128 + s);
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"out.svg"}) << strsignal(s);
    EXPECT_EQ(ReadFile(dir / "out.svg"), "earlier");
  }
  signalToRaise = SIGHUP;
  EXPECT_EQ(InChild([&] {
              ::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
              return static_cast<int>(WriteFileAtomically(dir / "out.svg", "new"));
            }),
            static_cast<int>(WriteResult::Ok));
  EXPECT_EQ(ReadFile(dir / "out.svg"), "new");

  const auto leave = [&](const std::string& name, time_t age) {
    WriteFile(dir / name, "left");
    const timespec times[2] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
    ::utimensat(AT_FDCWD, (dir / name).c_str(), times, 0);
  };
  const time_t day = 24 * 60 * 60;
  leave(".glyphor-tmp-old", 2 * day);
  leave(".glyphor-tmp-fresh", day / 2);
  leave(".glyphor-old", 2 * day);  // not our prefix
  ASSERT_EQ(::symlink("out.svg", (dir / ".glyphor-tmp-link").c_str()), 0);
  std::vector<std::string> kept{".glyphor-old", ".glyphor-tmp-fresh", ".glyphor-tmp-link", "out.svg"};
  if (::geteuid() == 0) {
    leave(".glyphor-tmp-others", 2 * day);
    ASSERT_EQ(::chown((dir / ".glyphor-tmp-others").c_str(), kNobody, kNobody), 0);
    kept.insert(kept.begin() + 3, ".glyphor-tmp-others");
  }
  FileSystemSeam().write = ::write;
  ASSERT_EQ(WriteFileAtomically(dir / "out.svg", "newer"), WriteResult::Ok);
  EXPECT_EQ(ListDir(dir.path()), kept);
}

// A document made as it is written: each piece goes to the temporary file;
// a full disk stops the producer at the piece it refused, and the producer's
// own failure passes through. Either way the earlier file stays and no
// temporary file is left.
TEST(AtomicFile, ProducersWritePieceByPieceAndStopAtAFailure) {
  TempDir dir;
  int made = 0;
  const ByteProducer produce = [&](ByteSink& out) {
    for (made = 0; made < 40; ++made) out.Write(std::string(1000, static_cast<char>('a' + made % 26)));
  };
  std::string expected;
  for (int i = 0; i < 40; ++i) expected += std::string(1000, static_cast<char>('a' + i % 26));
  ASSERT_EQ(WriteFileAtomically(dir / "out.svg", produce), WriteResult::Ok);
  EXPECT_EQ(ReadFile(dir / "out.svg"), expected);

  {
    ScopedSeam<FileSystemCalls> seam(FileSystemSeam());
    static int writes;
    writes = 0;
    seam->write = [](int fd, const void* buf, size_t n) -> ssize_t {
      if (++writes < 3) return ::write(fd, buf, n);
      return errno = ENOSPC, -1;
    };
    EXPECT_EQ(WriteFileAtomically(dir / "out.svg", produce), WriteResult::WriteFailed);
    EXPECT_EQ(made, 2);
    // A producer that swallows the stop still fails.
    const ByteProducer deaf = [](ByteSink& out) {
      for (int i = 0; i < 5; ++i) {
        try {
          out.Write("piece");
        } catch (...) {}
      }
    };
    EXPECT_EQ(WriteFileAtomically(dir / "out.svg", deaf), WriteResult::WriteFailed);
  }
  const ByteProducer failing = [](ByteSink& out) {
    out.Write("half a document");
    throw std::runtime_error("the font went away");
  };
  EXPECT_THROW(WriteFileAtomically(dir / "out.svg", failing), std::runtime_error);
  AtomicFileGroup group;
  EXPECT_THROW(group.Add(dir / "other.svg", failing), std::runtime_error);
  EXPECT_EQ(group.Waiting(), 0u);
  EXPECT_EQ(ReadFile(dir / "out.svg"), expected);
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"out.svg"});
}
