// SPDX-License-Identifier: MIT
// The cut-ready layers as a drawing exchange file for cutters and CAD.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/output/cut_geometry.h"
#include "core/platform/byte_sink.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// ASCII DXF with R12 entities: millimetres ($INSUNITS 4), y up with the
// page's bottom edge at 0, one layer a CutLayer named by its role and drawn
// in the nearest AutoCAD colour index, each contour a closed POLYLINE of
// straight segments. A plain value; cannot fail.
std::string DxfDocument(const std::vector<CutLayer>& layers, const CutPage& page);
// The same document handed to `out` in pieces of about 64 KiB as it is made.
// Exceptions from `out` pass through.
void WriteDxfDocument(const std::vector<CutLayer>& layers, const CutPage& page, ByteSink& out);

// The AutoCAD colour index (1..255) nearest to an RGB colour (red in the low
// byte); 7, drawn black on paper, stands for black.
int NearestAci(uint32_t color);

}  // namespace glyphor
