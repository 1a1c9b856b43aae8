// SPDX-License-Identifier: MIT
#include "core/output/emf_reader.h"

#include <cstring>

namespace glyphor {

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A record's size field, checked: at least type and size, a multiple of 4,
// within the `available` bytes.
uint32_t RecordSize(const uint8_t* at, size_t available) {
  if (available < 8) throw EmfFormatError("no end-of-file record");
  const uint32_t size = ReadU32(at + 4);
  if (size < 8 || size % 4 != 0 || size > available) throw EmfFormatError("bad record size");
  return size;
}

}  // namespace

void EmfRecord::Require(uint64_t bytes) const {
  if (bytes > size_) throw EmfFormatError("record too short");
}

uint32_t EmfRecord::U32(uint32_t offset) const {
  Require(uint64_t(offset) + 4);
  return ReadU32(data_ + offset);
}

uint16_t EmfRecord::U16(uint32_t offset) const {
  Require(uint64_t(offset) + 2);
  return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
}

float EmfRecord::F32(uint32_t offset) const {
  const uint32_t bits = U32(offset);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

EmfReader::EmfReader(std::span<const uint8_t> bytes) : data_(bytes.data()), end_(bytes.size()) {
  if (end_ < 8) throw EmfFormatError("no header record");
  header_ = EmfRecord(data_, RecordSize(data_, end_));
  if (header_.Type() != EMR_HEADER || header_.Size() < EmfHeaderMinSize ||
      header_.U32(EmfHeaderAt::Signature) != EmfSignature)
    throw EmfFormatError("not an enhanced metafile");
  const uint32_t length = header_.U32(EmfHeaderAt::Bytes);
  if (length > end_) throw EmfFormatError("metafile shorter than its header says");
  if (length < header_.Size()) throw EmfFormatError("bad metafile size");
  end_ = length;
  next_ = header_.Size();
}

bool EmfReader::Next(EmfRecord& record) {
  if (done_) return false;
  offset_ = next_;
  try {
    record = EmfRecord(data_ + offset_, RecordSize(data_ + offset_, end_ - offset_));
    if (record.Type() == EMR_HEADER) throw EmfFormatError("second header record");
  } catch (const EmfFormatError& e) {
    throw EmfFormatError(std::string(e.what()) + " (record at byte " + std::to_string(offset_) + ")");
  }
  next_ = offset_ + record.Size();
  done_ = record.Type() == EMR_EOF;
  return true;
}

}  // namespace glyphor
