// Writes a whole file or nothing: the bytes go to a temporary file in the
// target's folder, which is renamed over the target only once complete, so a
// failure neither truncates the target nor leaves the temporary file behind.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace glyphor {

enum class WriteResult {
  Ok,
  CannotCreate,  // the temporary file (or its folder) cannot be made
  WriteFailed,   // fewer bytes stored than given (a full disk), or the final rename failed
};

// mode: permission bits for a new target (an existing target keeps its own).
WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0666);

// Several files written as WriteFileAtomically writes one, but synced
// together: a script converting many texts should not wait for the disk once
// a file. Each file is still synced before it replaces its target, and one
// that fails leaves its target as it was while the others go ahead.
class AtomicFileGroup {
 public:
  AtomicFileGroup();
  // Removes the temporary files of a group that was never committed.
  ~AtomicFileGroup();
  AtomicFileGroup(const AtomicFileGroup&) = delete;
  AtomicFileGroup& operator=(const AtomicFileGroup&) = delete;

  // Writes the bytes to a temporary file beside `path`. Ok: the file waits
  // for Commit; otherwise the result WriteFileAtomically would give, and
  // nothing waits.
  WriteResult Add(const std::string& path, std::string_view bytes, mode_t mode = 0666);
  size_t Waiting() const { return pending_.size(); }
  // Syncs every waiting file, then renames each over its target. The result
  // of each, in the order added; the group is empty afterwards.
  std::vector<WriteResult> Commit();

 private:
  struct Pending {
    std::string tmp, target;
    int fd;
  };
  std::vector<Pending> pending_;
};

// The system calls the writer uses, replaceable so tests can make them fail
// part-way. Each returns what the libc call of the same name returns.
struct FileSystemCalls {
  ssize_t (*write)(int fd, const void* buf, size_t count);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
};
FileSystemCalls& FileSystemSeam();

}  // namespace glyphor
