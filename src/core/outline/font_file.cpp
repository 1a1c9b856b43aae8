// SPDX-License-Identifier: MIT
#include "core/outline/font_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphor {

namespace {

struct Mapping {
  void* data;
  size_t length;
};

void Unmap(void* user) {
  auto* m = static_cast<Mapping*>(user);
  ::munmap(m->data, m->length);
  delete m;
}

}  // namespace

hb_blob_t* MapFontFile(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The checks are made
  // on the open descriptor, so the file cannot be swapped between them.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<uint64_t>(st.st_size) > kMaxFontFileBytes) {
    ::close(fd);
    return nullptr;
  }
  const size_t length = static_cast<size_t>(st.st_size);
  void* data = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (data == MAP_FAILED) return nullptr;
  hb_blob_t* blob = hb_blob_create(static_cast<const char*>(data), static_cast<unsigned>(length),
                                   HB_MEMORY_MODE_READONLY, new Mapping{data, length}, Unmap);
  if (hb_blob_get_length(blob) == 0) {
    hb_blob_destroy(blob);  // the empty blob HarfBuzz returns on failure has already unmapped
    return nullptr;
  }
  return blob;
}

}  // namespace glyphor
