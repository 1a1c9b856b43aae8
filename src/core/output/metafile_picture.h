// SPDX-License-Identifier: MIT
// The enhanced-metafile picture ([MS-EMF]) of the current text: recorded by
// the program's own writer, in hundredths of a millimetre, y pointing up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/outline/path_record.h"
#include "core/settings/settings_model.h"

namespace glyphor {

struct MetafilePicture {
  std::vector<uint8_t> Bytes;  // the whole metafile, header to end-of-file record
  int32_t FrameWidth = 0;      // 0.01 mm
  int32_t FrameHeight = 0;     // 0.01 mm
};

// Captures the text of `s` and records it into `picture`, which must be new.
void BuildMetafile(MetafilePicture& picture, const ConversionSettings& s, int screenPpi);

// The part of BuildMetafile after the capture: scales the captured `path`
// (rewritten in place to picture coordinates) and records the picture.
void RecordPicture(MetafilePicture& picture, TPath& path, int32_t width, int32_t height, const ConversionSettings& s);

}  // namespace glyphor
