// Where a document goes as it is made: a file, standard output, a string.
#pragma once

#include <string_view>

namespace glyphor {

// Receives bytes in pieces, in order: joined, they are the whole. A sink that
// cannot take a piece throws, which stops whoever is writing to it.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view piece) = 0;
};

}  // namespace glyphor
