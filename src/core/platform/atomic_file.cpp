#include "core/platform/atomic_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/file_names.h"

namespace glyphor {

FileSystemCalls& FileSystemSeam() {
  static FileSystemCalls calls{::write, ::fsync, ::rename};
  return calls;
}

namespace {

constexpr int kMaxLinks = 40;  // the kernel's limit (ELOOP)
constexpr time_t kStaleSeconds = 24 * 60 * 60;

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

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// fs.protected_symlinks: in a sticky folder that everybody may write, only
// links of the follower or of the folder's owner are followed. A planted link
// would otherwise make root replace whatever it points at.
bool MayFollow(const struct stat& link, const std::string& linkPath) {
  struct stat folder {};
  if (::stat(FolderOf(linkPath).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// The file a write lands in: the end of a chain of symbolic links, so that
// the rename replaces the file the link points at and the link stays a link.
// Resolved link by link (not with realpath) to apply MayFollow to each. A
// chain that ends nowhere leaves the path itself, whose link is replaced.
// False when a link may not be followed.
bool WriteTarget(const std::string& path, std::string& target) {
  std::string current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      target = path;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      target = current;
      return true;
    }
    if (!MayFollow(st, current)) return false;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), buf, sizeof buf);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) return false;
    const std::string next(buf, static_cast<size_t>(n));
    current = next[0] == '/' ? next : Join(FolderOf(current), next);
  }
  return false;
}

// Our temporary files that an interrupted run left: regular files of ours
// with the prefix, untouched for a day (a write in progress keeps its file's
// time fresh).
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  const size_t prefixLength = std::strlen(kTemporaryPrefix);
  while (const dirent* e = ::readdir(dir)) {
    if (std::strncmp(e->d_name, kTemporaryPrefix, prefixLength) != 0) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && now - st.st_mtime > kStaleSeconds)
      ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
}

// The temporary file being written, for the signal handlers: they may only
// make async-signal-safe calls, so the name waits in a fixed buffer.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
char g_temporary[PATH_MAX];
volatile sig_atomic_t g_temporaryActive = 0;
struct sigaction g_previous[std::size(kCleanupSignals)];
bool g_replaced[std::size(kCleanupSignals)];

// Removes the temporary file, puts the previous action back and sends the
// signal again: it arrives once the handler returns, so the process ends as
// it would have without us (or a handler of its own runs).
extern "C" void RemoveTemporaryOnSignal(int signal) {
  const int saved = errno;
  if (g_temporaryActive) ::unlink(g_temporary);
  g_temporaryActive = 0;
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
    if (kCleanupSignals[i] == signal) ::sigaction(signal, &g_previous[i], nullptr);
  ::raise(signal);
  errno = saved;
}

// Removes the temporary file being written when one of kCleanupSignals
// ends the process. One write at a time: there is one buffer.
class TTemporaryGuard {
 public:
  TTemporaryGuard() : lock_(Mutex()) {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : kCleanupSignals) sigaddset(&action.sa_mask, s);
    for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
      g_replaced[i] = false;
      if (::sigaction(kCleanupSignals[i], nullptr, &g_previous[i]) != 0) continue;
      // An ignored signal (nohup) stays ignored.
      if (!(g_previous[i].sa_flags & SA_SIGINFO) && g_previous[i].sa_handler == SIG_IGN) continue;
      g_replaced[i] = ::sigaction(kCleanupSignals[i], &action, nullptr) == 0;
    }
  }
  ~TTemporaryGuard() {
    g_temporaryActive = 0;
    for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
      struct sigaction current {};
      // A handler that already ran has put the previous action back.
      if (g_replaced[i] && ::sigaction(kCleanupSignals[i], nullptr, &current) == 0 &&
          current.sa_handler == RemoveTemporaryOnSignal)
        ::sigaction(kCleanupSignals[i], &g_previous[i], nullptr);
    }
  }
  TTemporaryGuard(const TTemporaryGuard&) = delete;
  TTemporaryGuard& operator=(const TTemporaryGuard&) = delete;

  // mkstemp with the signals held back until the name is known to the handler.
  int MakeTemporary(std::vector<char>& pattern) {
    sigset_t block, previous;
    sigemptyset(&block);
    for (const int s : kCleanupSignals) sigaddset(&block, s);
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    const int fd = ::mkstemp(pattern.data());
    const int err = errno;
    if (fd >= 0 && pattern.size() <= sizeof g_temporary) {
      std::memcpy(g_temporary, pattern.data(), pattern.size());
      g_temporaryActive = 1;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = err;
    return fd;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> lock_;
};

// The fallback for a folder we may not write in: the target itself is
// overwritten. Space is reserved first where the file system can, so that a
// full disk fails before the old bytes are touched.
WriteResult WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return WriteResult::CannotCreate;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return WriteResult::CannotCreate;
  }
  const auto size = static_cast<off_t>(bytes.size());
  if (size > st.st_size && ::fallocate(fd, 0, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
    ::close(fd);
    return WriteResult::WriteFailed;
  }
  bool ok = WriteAll(fd, bytes) && ::ftruncate(fd, size) == 0 && FileSystemSeam().fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok ? WriteResult::Ok : WriteResult::WriteFailed;
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, mode_t mode) {
  std::string path;
  if (!WriteTarget(linkOrPath, path)) return WriteResult::CannotCreate;
  // A target that is a folder, or whose folder is missing, cannot be created.
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return WriteResult::CannotCreate;
  // A read-only target stays as it is, also for root, who could write it.
  if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) return WriteResult::CannotCreate;

  const std::string folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  std::string pattern = Join(folder, std::string(kTemporaryPrefix) + "XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  TTemporaryGuard guard;
  const int fd = guard.MakeTemporary(name);
  if (fd < 0) {
    const bool folderClosed = errno == EACCES || errno == EPERM;
    return exists && folderClosed ? WriteInPlace(path, bytes) : WriteResult::CannotCreate;
  }
  const std::string tmp(name.data());

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

  bool ok = WriteAll(fd, bytes) && FileSystemSeam().fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && FileSystemSeam().rename(tmp.c_str(), path.c_str()) == 0) return WriteResult::Ok;
  ::unlink(tmp.c_str());
  return WriteResult::WriteFailed;
}

}  // namespace glyphor
