// SPDX-License-Identifier: MIT
#include "core/platform/file_read.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphor {

ReadStatus ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Refused;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return ReadStatus::Refused;
  }
  // Room for what the file holds now, so a large file is not copied as it grows.
  bytes.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  ReadStatus status = ReadStatus::Ok;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) status = ReadStatus::Refused;
    if (n <= 0) break;
    bytes.append(buf, static_cast<size_t>(n));
    // The file may grow while it is read.
    if (bytes.size() > maxBytes) {
      status = ReadStatus::Refused;
      break;
    }
  }
  ::close(fd);
  if (status != ReadStatus::Ok) bytes.clear();
  return status;
}

}  // namespace glyphor
