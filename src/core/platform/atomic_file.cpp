#include "core/platform/atomic_file.h"

#include "core/platform/file_names.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

WriteResult WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, mode_t mode) {
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
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return WriteResult::CannotCreate;
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
