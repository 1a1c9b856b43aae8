// SPDX-License-Identifier: MIT
// Font files mapped read-only for FreeType and HarfBuzz. A path may come from
// a cache file another program could have changed, or from a font folder
// anyone may write to: only a regular file of sane size is mapped, and the
// open never blocks (a FIFO planted in a font's place).
#pragma once

#include <string>

#include <hb.h>

namespace glyphor {

// The largest font file mapped; the largest collections shipped are a
// tenth of this.
inline constexpr size_t kMaxFontFileBytes = size_t{1} << 30;

// The whole file as a read-only blob, or nullptr when it is missing, not a
// regular file, empty, larger than the limit or cannot be mapped.
hb_blob_t* MapFontFile(const std::string& path);

}  // namespace glyphor
