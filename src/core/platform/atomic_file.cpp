#include "core/platform/atomic_file.h"

#include "core/platform/file_names.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphor {

FileSystemCalls& FileSystemSeam() {
  static FileSystemCalls calls{::write, ::fsync, ::rename};
  return calls;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = FileSystemSeam().write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The file a write lands in: a symbolic link's target, so that the rename
// replaces the file the link points at and the link stays a link.
std::string WriteTarget(const std::string& path) {
  struct stat lst {};
  char resolved[PATH_MAX];
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) && ::realpath(path.c_str(), resolved)) return resolved;
  return path;
}

// Everything up to the bytes lying in a temporary file beside the target
// (not yet synced); on failure nothing is left behind.
WriteResult Stage(const std::string& linkOrPath, std::string_view bytes, mode_t mode, std::string& tmp,
                  std::string& target, int& fd) {
  const std::string path = WriteTarget(linkOrPath);
  // A target that is a folder, or whose folder is missing, cannot be created.
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return WriteResult::CannotCreate;
  // A read-only target stays as it is, also for root, who could write it.
  if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) return WriteResult::CannotCreate;

  std::string tmpl = FolderOf(path) + "/.glyphor-XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  fd = ::mkstemp(name.data());
  if (fd < 0) return WriteResult::CannotCreate;
  tmp = name.data();
  target = path;

  // mkstemp makes the file 0600; give it the target's permissions (or the
  // usual ones, less the umask) so the rename does not change them.
  mode_t perms = mode;
  if (exists) {
    perms = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    perms &= ~mask;
  }
  ::fchmod(fd, perms);

  if (WriteAll(fd, bytes)) return WriteResult::Ok;
  ::close(fd);
  ::unlink(tmp.c_str());
  return WriteResult::WriteFailed;
}

// Closes a staged file and renames it over its target when it was synced;
// removes it otherwise.
WriteResult Finish(const std::string& tmp, const std::string& target, int fd, bool synced) {
  const bool ok = (::close(fd) == 0) && synced;
  if (ok && FileSystemSeam().rename(tmp.c_str(), target.c_str()) == 0) return WriteResult::Ok;
  ::unlink(tmp.c_str());
  return WriteResult::WriteFailed;
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, mode_t mode) {
  std::string tmp, target;
  int fd = -1;
  const WriteResult staged = Stage(linkOrPath, bytes, mode, tmp, target, fd);
  if (staged != WriteResult::Ok) return staged;
  return Finish(tmp, target, fd, FileSystemSeam().fsync(fd) == 0);
}

AtomicFileGroup::AtomicFileGroup() = default;

AtomicFileGroup::~AtomicFileGroup() {
  for (const Pending& p : pending_) {
    ::close(p.fd);
    ::unlink(p.tmp.c_str());
  }
}

WriteResult AtomicFileGroup::Add(const std::string& path, std::string_view bytes, mode_t mode) {
  Pending p;
  const WriteResult staged = Stage(path, bytes, mode, p.tmp, p.target, p.fd);
  if (staged == WriteResult::Ok) pending_.push_back(std::move(p));
  return staged;
}

namespace {

// Runs work(i) for i in [0, count) on up to 16 threads. For calls that wait
// on the disk, whose waits then overlap.
void InParallel(size_t count, const std::function<void(size_t)>& work) {
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t i; (i = next++) < count;) work(i);
  };
  std::vector<std::thread> workers;
  for (size_t t = 1; t < std::min<size_t>(count, 16); ++t) workers.emplace_back(run);
  run();
  for (std::thread& w : workers) w.join();
}

}  // namespace

std::vector<WriteResult> AtomicFileGroup::Commit() {
  // Syncs issued together share the file system's journal commits; one after
  // another, each waits for its own.
  std::vector<char> synced(pending_.size(), 0);
  InParallel(pending_.size(), [&](size_t i) { synced[i] = FileSystemSeam().fsync(pending_[i].fd) == 0; });

  // Freeing a replaced file's blocks takes a while on some file systems
  // (ext4 with discard): each replaced file is held by a path descriptor
  // across its rename and let go with the others at the end.
  std::vector<WriteResult> results;
  std::vector<int> replaced;
  for (size_t i = 0; i < pending_.size(); ++i) {
    const int old = ::open(pending_[i].target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (old >= 0) replaced.push_back(old);
    results.push_back(Finish(pending_[i].tmp, pending_[i].target, pending_[i].fd, synced[i]));
  }
  InParallel(replaced.size(), [&](size_t i) { ::close(replaced[i]); });
  pending_.clear();
  return results;
}

}  // namespace glyphor
