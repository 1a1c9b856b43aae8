// SPDX-License-Identifier: MIT
#include "core/platform/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/file_names.h"

namespace glyphor {

FileSystemCalls& FileSystemSeam() {
  static FileSystemCalls calls{::write, ::fsync, ::rename,
                               [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }};
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
// time fresh). Each folder is looked at once a run.
void RemoveStaleTemporaries(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> done;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!done.insert(folder).second) return;
  }
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

// The temporary files being written, for the signal handlers: they may only
// make async-signal-safe calls, so the names wait in fixed slots, set and
// cleared with the signals held back. A group of files shares the slots; a
// file beyond them goes unprotected and is removed as stale a day later.
// SIGXFSZ ends a process whose file outgrows its size limit (ulimit -f).
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
constexpr size_t kMaxTemporaries = 128;
char* volatile g_temporaries[kMaxTemporaries];
struct sigaction g_previous[std::size(kCleanupSignals)];
bool g_replaced[std::size(kCleanupSignals)];
size_t g_registered = 0;  // guarded by RegistryMutex()

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

// Removes the temporary files, puts the previous actions back and sends the
// signal again: it arrives once the handler returns, so the process ends as
// it would have without us (or a handler of its own runs).
extern "C" void RemoveTemporariesOnSignal(int signal) {
  const int saved = errno;
  for (char* volatile& slot : g_temporaries)
    if (char* name = slot) ::unlink(name);
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i)
    if (g_replaced[i]) ::sigaction(kCleanupSignals[i], &g_previous[i], nullptr);
  ::raise(signal);
  errno = saved;
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesOnSignal;
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

void RemoveHandlers() {
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
    struct sigaction current {};
    // A handler that already ran has put the previous action back.
    if (g_replaced[i] && ::sigaction(kCleanupSignals[i], nullptr, &current) == 0 &&
        current.sa_handler == RemoveTemporariesOnSignal)
      ::sigaction(kCleanupSignals[i], &g_previous[i], nullptr);
    g_replaced[i] = false;
  }
}

// Holds kCleanupSignals back in this thread while it lives.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t block;
    sigemptyset(&block);
    for (const int s : kCleanupSignals) sigaddset(&block, s);
    ::pthread_sigmask(SIG_BLOCK, &block, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// Makes a temporary file's name appear with `make` (mkstemp, or a link to
// an unnamed file), the name given to the handlers before a signal can
// arrive. Returns what `make` returns, negative on failure. Sets `slot` to
// the name's slot, or -1 when none was free.
template <class Make>
int MakeTemporary(std::vector<char>& pattern, int& slot, const Make& make) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  SignalsHeld held;
  slot = -1;
  const int fd = make(pattern.data());
  if (fd < 0) return fd;
  const int err = errno;
  for (size_t i = 0; i < kMaxTemporaries; ++i) {
    if (g_temporaries[i]) continue;
    g_temporaries[i] = ::strdup(pattern.data());
    if (!g_temporaries[i]) break;
    if (g_registered++ == 0) InstallHandlers();
    slot = static_cast<int>(i);
    break;
  }
  errno = err;
  return fd;
}

// The temporary file of `slot` is gone or renamed: the handlers forget it.
void ForgetTemporary(int slot) {
  if (slot < 0) return;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  char* name;
  {
    SignalsHeld held;
    name = g_temporaries[slot];
    g_temporaries[slot] = nullptr;
    if (--g_registered == 0) RemoveHandlers();
  }
  std::free(name);
}

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

struct AtomicFileGroup::Staged {
  std::string tmp, target;  // tmp: empty while the file has no name
  std::string folder;
  int fd = -1;  // -1: written in place already
  int slot = -1;
};

namespace {

// A file's bytes: at hand, or made by a producer as they are written.
struct Content {
  std::string_view bytes;
  const ByteProducer* produce = nullptr;
};

// Thrown into a producer when the disk does not take a piece, to stop it.
struct WritingStopped {};

// Hands each piece straight to a staged file.
class FileSink : public ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  void Write(std::string_view piece) override {
    if (failed_ || !WriteAll(fd_, piece)) {
      failed_ = true;
      throw WritingStopped{};
    }
    Written(piece.size());
  }
  // The staged file is open for reading too: the pieces come back from it.
  bool WriteAgain(uint64_t from, uint64_t size) override {
    std::vector<char> buffer(std::min<uint64_t>(size, 64 * 1024));
    while (size > 0 && !failed_) {
      const ssize_t n = ::pread(fd_, buffer.data(), std::min<uint64_t>(size, buffer.size()), static_cast<off_t>(from));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || !WriteAll(fd_, std::string_view(buffer.data(), static_cast<size_t>(n)))) {
        failed_ = true;
        break;
      }
      from += static_cast<uint64_t>(n);
      size -= static_cast<uint64_t>(n);
      Written(static_cast<uint64_t>(n));
    }
    if (failed_) throw WritingStopped{};
    return true;
  }
  // Remembered apart from the exception, which a producer might swallow.
  bool Failed() const { return failed_; }

 private:
  // A long document's pages start on their way to the disk every 512 KiB
  // while the rest is made, so that the sync before the rename finds little
  // left to wait for (20 000 characters: 8 ms less). Only a hint: its
  // failure changes nothing, the sync still decides.
  static constexpr uint64_t kWritebackStep = 512 << 10;
  void Written(uint64_t bytes) {
    written_ += bytes;
    if (written_ - kicked_ < kWritebackStep) return;
    ::sync_file_range(fd_, static_cast<off_t>(kicked_), static_cast<off_t>(written_ - kicked_), SYNC_FILE_RANGE_WRITE);
    kicked_ = written_;
  }

  int fd_;
  bool failed_ = false;
  uint64_t written_ = 0, kicked_ = 0;
};

class StringSink : public ByteSink {
 public:
  void Write(std::string_view piece) override { bytes.append(piece); }
  std::string bytes;
};

// False when the disk did not take all of the content. A producer's own
// exceptions pass through.
bool WriteContent(int fd, const Content& content) {
  if (!content.produce) return WriteAll(fd, content.bytes);
  FileSink sink(fd);
  try {
    (*content.produce)(sink);
  } catch (const WritingStopped&) {}
  return !sink.Failed();
}

void Discard(const AtomicFileGroup::Staged& s) {
  ::close(s.fd);
  if (s.tmp.empty()) return;  // an unnamed file goes with its descriptor
  ::unlink(s.tmp.c_str());
  ForgetTemporary(s.slot);
}

// The name pattern of our temporary files in `folder`, for mkstemp.
std::vector<char> TemporaryPattern(const std::string& folder) {
  const std::string pattern = Join(folder, std::string(kTemporaryPrefix) + "XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  return name;
}

// A file without a name in `folder` (O_TMPFILE): nothing of it shows while it
// is written, and a run that dies, even by SIGKILL, leaves nothing behind.
// It gets a name only once synced, through /proc/self/fd; without /proc, or
// where the file system has no such files, -1 and the named way is taken.
int OpenUnnamed(const std::string& folder) {
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  if (!linkable) return -1;
  return FileSystemSeam().open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

// Replaces the XXXXXX that end `name` with random letters and digits.
void RandomSuffix(char* name) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<unsigned> counter{0};
    const unsigned mix = static_cast<unsigned>(::getpid()) * 2654435761u + counter++ * 40503u;
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] ^= static_cast<unsigned char>(mix >> (4 * i));
  }
  char* x = name + std::strlen(name) - sizeof bytes;
  for (size_t i = 0; i < sizeof bytes; ++i) x[i] = kChars[bytes[i] % (sizeof kChars - 1)];
}

// Gives a synced unnamed file a temporary name beside its target, so that
// it can be renamed over it. False, with no name made, on failure.
bool NameUnnamed(AtomicFileGroup::Staged& s) {
  const std::string proc = "/proc/self/fd/" + std::to_string(s.fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::vector<char> name = TemporaryPattern(s.folder);
    const int made = MakeTemporary(name, s.slot, [&](char* n) {
      RandomSuffix(n);
      return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, n, AT_SYMLINK_FOLLOW);
    });
    if (made == 0) {
      s.tmp = name.data();
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Everything up to the content lying in a temporary file beside the target.
// When no temporary file can be made there but the target may be written,
// the content goes straight into it: `inPlace` is set and the result is
// final. On failure, and when the producer throws, nothing is left behind.
WriteResult Stage(const std::string& linkOrPath, const Content& content, mode_t mode, AtomicFileGroup::Staged& out,
                  bool& inPlace) {
  inPlace = false;
  std::string path;
  if (!WriteTarget(linkOrPath, path)) return WriteResult::CannotCreate;
  // A target that is a folder, or whose folder is missing, cannot be created.
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return WriteResult::CannotCreate;
  // A read-only target stays as it is, also for root, who could write it.
  if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) return WriteResult::CannotCreate;

  const std::string folder = FolderOf(path);
  out.folder = folder;
  out.target = path;
  out.fd = OpenUnnamed(folder);
  if (out.fd < 0) {
    // Named temporary files: those an interrupted run left are swept here.
    RemoveStaleTemporaries(folder);
    std::vector<char> name = TemporaryPattern(folder);
    out.fd = MakeTemporary(name, out.slot, [](char* n) { return ::mkstemp(n); });
    const int err = errno;
    if (out.fd >= 0) out.tmp = name.data();
    errno = err;
  }
  if (out.fd < 0) {
    const bool folderClosed = errno == EACCES || errno == EPERM;
    if (!exists || !folderClosed) return WriteResult::CannotCreate;
    inPlace = true;
    if (!content.produce) return WriteInPlace(path, content.bytes);
    // The size must be known before the old bytes are touched.
    StringSink whole;
    (*content.produce)(whole);
    return WriteInPlace(path, whole.bytes);
  }

  // The temporary file is made 0600; give it the target's permissions (or the
  // usual ones, less the umask) so the rename does not change them.
  mode_t perms = mode;
  if (exists) {
    perms = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    perms &= ~mask;
  }
  ::fchmod(out.fd, perms);

  bool written = false;
  try {
    written = WriteContent(out.fd, content);
  } catch (...) {
    Discard(out);
    throw;
  }
  if (written) return WriteResult::Ok;
  Discard(out);
  return WriteResult::WriteFailed;
}

// Closes a staged file and renames it over its target when it was synced;
// removes it otherwise.
WriteResult Finish(AtomicFileGroup::Staged s, bool synced) {
  // An unnamed file is named while its descriptor is still open.
  const bool named = synced && (!s.tmp.empty() || NameUnnamed(s));
  const bool ok = (::close(s.fd) == 0) && named;
  WriteResult result = WriteResult::Ok;
  if (!ok || FileSystemSeam().rename(s.tmp.c_str(), s.target.c_str()) != 0) {
    if (!s.tmp.empty()) ::unlink(s.tmp.c_str());
    result = WriteResult::WriteFailed;
  }
  ForgetTemporary(s.slot);
  return result;
}

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

namespace {

WriteResult WriteWhole(const std::string& linkOrPath, const Content& content, mode_t mode) {
  AtomicFileGroup::Staged staged;
  bool inPlace = false;
  const WriteResult result = Stage(linkOrPath, content, mode, staged, inPlace);
  if (result != WriteResult::Ok || inPlace) return result;
  return Finish(staged, FileSystemSeam().fsync(staged.fd) == 0);
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, mode_t mode) {
  return WriteWhole(linkOrPath, Content{bytes}, mode);
}

WriteResult WriteFileAtomically(const std::string& linkOrPath, const ByteProducer& produce, mode_t mode) {
  return WriteWhole(linkOrPath, Content{{}, &produce}, mode);
}

AtomicFileGroup::AtomicFileGroup() = default;

AtomicFileGroup::~AtomicFileGroup() {
  for (const Staged& p : pending_)
    if (p.fd >= 0) Discard(p);
}

size_t AtomicFileGroup::Waiting() const { return pending_.size(); }

namespace {

WriteResult StageInto(std::vector<AtomicFileGroup::Staged>& pending, const std::string& path, const Content& content,
                      mode_t mode) {
  pending.reserve(pending.size() + 1);  // so that a staged file cannot be lost to a failed allocation
  AtomicFileGroup::Staged s;
  bool inPlace = false;
  const WriteResult result = Stage(path, content, mode, s, inPlace);
  // A file written in place is done, but keeps its turn among the results.
  if (result == WriteResult::Ok) pending.push_back(inPlace ? AtomicFileGroup::Staged{} : std::move(s));
  return result;
}

}  // namespace

WriteResult AtomicFileGroup::Add(const std::string& path, std::string_view bytes, mode_t mode) {
  return StageInto(pending_, path, Content{bytes}, mode);
}

WriteResult AtomicFileGroup::Add(const std::string& path, const ByteProducer& produce, mode_t mode) {
  return StageInto(pending_, path, Content{{}, &produce}, mode);
}

std::vector<WriteResult> AtomicFileGroup::Commit() {
  // Syncs issued together share the file system's journal commits; one after
  // another, each waits for its own.
  std::vector<char> synced(pending_.size(), 0);
  InParallel(pending_.size(),
             [&](size_t i) { synced[i] = pending_[i].fd < 0 || FileSystemSeam().fsync(pending_[i].fd) == 0; });

  // Freeing a replaced file's blocks takes a while on some file systems
  // (ext4 with discard): each replaced file is held by a path descriptor
  // across its rename and let go with the others at the end.
  std::vector<WriteResult> results;
  std::vector<int> replaced;
  for (const Staged& p : pending_) {
    if (p.fd < 0) {
      results.push_back(WriteResult::Ok);
      continue;
    }
    const int old = ::open(p.target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (old >= 0) replaced.push_back(old);
    results.push_back(Finish(p, synced[&p - pending_.data()]));
  }
  InParallel(replaced.size(), [&](size_t i) { ::close(replaced[i]); });
  pending_.clear();
  return results;
}

}  // namespace glyphor
