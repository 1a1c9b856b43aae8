// SPDX-License-Identifier: MIT
// Reading a file that another program or user may have put in the way: only
// a regular file is read, never a pipe, a device or a folder, without
// blocking on the open, and only up to a size limit.
#pragma once

#include <cstddef>
#include <string>

namespace glyphor {

enum class ReadStatus {
  Ok,
  Missing,  // no such file (or a missing folder on the way)
  Refused,  // exists, but is no regular file, is larger than allowed, or cannot be read
};

// Reads the whole file into `bytes` (cleared first).
ReadStatus ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes);

}  // namespace glyphor
