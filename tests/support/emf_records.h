// SPDX-License-Identifier: MIT
// Walkers for metafile bytes in tests: an enhanced metafile ([MS-EMF]) or a
// Windows metafile ([MS-WMF]) as a list of records, each with its type and
// bytes, so tests can assert records by type.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/output/emf_reader.h"

namespace glyphor::test {

using glyphor::EmfReader;
using glyphor::EmfRecord;

struct MetaRecord {
  uint32_t Type = 0;
  std::vector<uint8_t> Bytes;  // the whole record, type and size included

  uint32_t U32(size_t at) const {
    if (at + 4 > Bytes.size()) throw std::out_of_range("record field " + std::to_string(at));
    uint32_t v;
    std::memcpy(&v, Bytes.data() + at, 4);
    return v;
  }
  int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
  uint16_t U16(size_t at) const {
    if (at + 2 > Bytes.size()) throw std::out_of_range("record field " + std::to_string(at));
    uint16_t v;
    std::memcpy(&v, Bytes.data() + at, 2);
    return v;
  }
  int16_t I16(size_t at) const { return static_cast<int16_t>(U16(at)); }
  float F32(size_t at) const {
    const uint32_t bits = U32(at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
};

// EMF records up to and including EMR_EOF (type 14), read by the program's
// own reader. Throws on what the reader refuses and on bytes after EMR_EOF.
inline std::vector<MetaRecord> WalkEmf(const std::vector<uint8_t>& bytes) {
  EmfReader reader(bytes);
  const EmfRecord& header = reader.Header();
  std::vector<MetaRecord> out{{header.Type(), std::vector<uint8_t>(header.Data(), header.Data() + header.Size())}};
  EmfRecord r;
  while (reader.Next(r)) out.push_back({r.Type(), std::vector<uint8_t>(r.Data(), r.Data() + r.Size())});
  if (reader.Length() != bytes.size()) throw std::runtime_error("bytes after EMR_EOF");
  return out;
}

// WMF records after the 22-byte placeable header and the 18-byte META_HEADER,
// up to and including META_EOF (function 0). Type is the record function.
inline std::vector<MetaRecord> WalkWmf(const std::vector<uint8_t>& bytes) {
  std::vector<MetaRecord> out;
  size_t at = 22 + 18;
  while (at < bytes.size()) {
    if (at + 6 > bytes.size()) throw std::runtime_error("truncated record at " + std::to_string(at));
    uint32_t words;
    uint16_t function;
    std::memcpy(&words, bytes.data() + at, 4);
    std::memcpy(&function, bytes.data() + at + 4, 2);
    const size_t size = size_t{words} * 2;
    if (words < 3 || size > bytes.size() - at)
      throw std::runtime_error("bad record size " + std::to_string(words) + " at " + std::to_string(at));
    out.push_back({function, std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + size)});
    at += size;
    if (function == 0 && at != bytes.size()) throw std::runtime_error("bytes after META_EOF");
  }
  return out;
}

inline std::vector<uint32_t> RecordTypes(const std::vector<MetaRecord>& records) {
  std::vector<uint32_t> types;
  for (const auto& r : records) types.push_back(r.Type);
  return types;
}

// Records built from 32-bit words, little-endian: the expected bytes of a picture.
inline std::vector<uint8_t> Words(std::initializer_list<std::initializer_list<uint32_t>> records) {
  std::vector<uint8_t> out;
  for (const auto& r : records)
    for (uint32_t w : r)
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return out;
}

}  // namespace glyphor::test
