// SPDX-License-Identifier: MIT
// The placeable Windows metafile ([MS-WMF]) of a metafile picture, for file
// names ending ".wmf": the picture's EMF records converted to 16-bit
// polygons in the anisotropic mapping mode, 96 units per inch.
#pragma once

#include <cstdint>
#include <vector>

#include "core/output/metafile_picture.h"

namespace glyphor {

inline constexpr int32_t WmfUnitsPerInch = 96;

// A length in 0.01 mm in WMF units, rounded halves away from zero.
int32_t HundredthsMmToWmfUnits(int64_t hundredths);

// The whole file: 22-byte placeable header, META_HEADER, records, META_EOF.
// Throws EOutOfResources when the picture is malformed or too large for the
// 16-bit coordinates of a WMF.
std::vector<uint8_t> ConvertToPlaceableWmf(const MetafilePicture& picture);

}  // namespace glyphor
