// SPDX-License-Identifier: MIT
// Writes a whole file or nothing: the bytes go to a temporary file in the
// target's folder, which is renamed over the target only once complete and
// synced, so a failure neither truncates the target nor leaves the
// temporary file behind. The temporary file has no name while it is written
// (O_TMPFILE): a run that dies leaves nothing, however it dies. It is named
// ".glyphor-tmp-XXXXXX" just before the rename; where the file system has no
// unnamed files it has that name throughout. SIGINT, SIGTERM, SIGHUP and
// SIGXFSZ (a file size limit reached) remove a named one, and a write that
// needs named ones removes such files of ours that an earlier run left in
// the folder more than a day ago.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "core/platform/byte_sink.h"

namespace glyphor {

enum class WriteResult {
  Ok,
  CannotCreate,  // the temporary file (or its folder) cannot be made, or a link may not be followed
  WriteFailed,   // fewer bytes stored than given (a full disk), or the final rename failed
};

// mode: permission bits for a new target (an existing target keeps its own).
// A symbolic link is followed where the kernel's protected_symlinks rule would
// follow it: not when it lies in a sticky, world-writable folder and belongs
// neither to us nor to the folder's owner. An existing, writable target in a
// folder where no temporary file can be made is overwritten in place: then a
// failure part-way can leave it damaged.
WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0666);

// Makes a file's bytes, handing them to the sink in pieces as they are made.
using ByteProducer = std::function<void(ByteSink&)>;

// The same, for bytes made as they are written: a long document goes to the
// temporary file piece by piece and is never held whole. A piece the disk
// does not take stops the producer (the sink throws) and gives WriteFailed;
// any other exception from the producer removes the temporary file and
// passes through. Where the target has to be overwritten in place, the
// pieces are gathered first, so that a failure still comes before the old
// bytes are touched.
WriteResult WriteFileAtomically(const std::string& path, const ByteProducer& produce, mode_t mode = 0666);

// The prefix of the temporary files' names.
inline constexpr char kTemporaryPrefix[] = ".glyphor-tmp-";

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
  // for Commit (or was written in place, where no temporary file can be
  // made: its result is then Ok in Commit's list); otherwise the result
  // WriteFileAtomically would give, and nothing waits.
  WriteResult Add(const std::string& path, std::string_view bytes, mode_t mode = 0666);
  // The same for bytes made as they are written, as the streaming
  // WriteFileAtomically takes them; the producer's own exceptions pass
  // through, and nothing waits for the file then.
  WriteResult Add(const std::string& path, const ByteProducer& produce, mode_t mode = 0666);
  size_t Waiting() const;
  // Syncs every waiting file, then renames each over its target. The result
  // of each, in the order added; the group is empty afterwards.
  std::vector<WriteResult> Commit();

  struct Staged;  // a file written beside its target, not yet synced

 private:
  std::vector<Staged> pending_;
};

// The system calls the writer uses, replaceable so tests can make them fail
// part-way. Each returns what the libc call of the same name returns.
struct FileSystemCalls {
  ssize_t (*write)(int fd, const void* buf, size_t count);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*open)(const char* path, int flags, mode_t mode);  // opens the unnamed temporary file
};
FileSystemCalls& FileSystemSeam();

}  // namespace glyphor
