// SPDX-License-Identifier: MIT
// Where a document goes as it is made: a file, standard output, a string.
#pragma once

#include <cstdint>
#include <string_view>

namespace glyphor {

// Receives bytes in pieces, in order: joined, they are the whole. A sink that
// cannot take a piece throws, which stops whoever is writing to it.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view piece) = 0;
  // Writes again `size` bytes that this sink took earlier, starting `from`
  // bytes after its first one, read back by the sink itself so that the
  // writer need not hold them. False, with nothing written, where they
  // cannot be read back (a pipe); a failure part-way throws as Write does.
  virtual bool WriteAgain(uint64_t /*from*/, uint64_t /*size*/) { return false; }
};

}  // namespace glyphor
