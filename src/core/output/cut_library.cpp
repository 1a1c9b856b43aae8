// SPDX-License-Identifier: MIT
#include "core/output/cut_library.h"

#include "core/output/cut_geometry.h"
#include "core/output/cut_writers.h"
#include "core/output/dxf_writer.h"

namespace glyphor {

namespace {

void Svg(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  WriteCutSvgDocument(path, width, height, s, out);
}

void Dxf(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  WriteDxfDocument(BuildCutLayers(path, s), PageSize(width, height, s), out);
}

}  // namespace

void InstallLinkedCutWriters() { InstallCutWriters({Svg, Dxf}); }

}  // namespace glyphor
