// SPDX-License-Identifier: MIT
// The one reader of enhanced-metafile records: the header is checked first,
// then each record's size before it is handed out, and every field read is
// checked against its record's size. The WMF converter, the preview player
// and the tests read metafiles through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "core/output/emf_format.h"

namespace glyphor {

// A metafile the reader refuses; the text says why (English, for logs and tests).
class EmfFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One record's bytes, type and size included. Reads past its size throw.
class EmfRecord {
 public:
  EmfRecord() = default;
  EmfRecord(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

  uint32_t Type() const { return U32(0); }
  uint32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }
  void Require(uint64_t bytes) const;
  uint32_t U32(uint32_t offset) const;
  int32_t I32(uint32_t offset) const { return static_cast<int32_t>(U32(offset)); }
  uint16_t U16(uint32_t offset) const;
  int16_t I16(uint32_t offset) const { return static_cast<int16_t>(U16(offset)); }
  float F32(uint32_t offset) const;

 private:
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};

class EmfReader {
 public:
  // Checks the header record: EMR_HEADER, the signature, and a byte count
  // that the data holds. Throws EmfFormatError otherwise.
  explicit EmfReader(std::span<const uint8_t> bytes);

  const EmfRecord& Header() const { return header_; }
  // The metafile's length as its header states it (data beyond is ignored).
  size_t Length() const { return end_; }

  // The next record after the header, EMR_EOF included; false once EMR_EOF
  // has been handed out. Throws EmfFormatError for a record whose size is not
  // a multiple of 4 or runs past the end, a second header, or a metafile that
  // ends without EMR_EOF.
  bool Next(EmfRecord& record);
  // Where the record last handed out starts.
  size_t Offset() const { return offset_; }

 private:
  const uint8_t* data_;
  size_t end_;
  size_t offset_ = 0, next_ = 0;
  bool done_ = false;
  EmfRecord header_;
};

}  // namespace glyphor
