// SPDX-License-Identifier: MIT
// Cut-ready outlines: the picture of the SVG document as filled, welded
// regions without strokes, one layer a colour, for plotters and cutters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/outline/path_record.h"
#include "core/platform/byte_sink.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// Units: a point is in 1/10000 mm on the SVG document's page (x right, y
// down), the resolution of the document's numbers, so the polygons are
// written exactly as computed.
inline constexpr double CutUnitsPerMm = 10000;

struct CutPoint {
  int64_t X = 0;
  int64_t Y = 0;
  friend bool operator==(const CutPoint&, const CutPoint&) = default;
};
using CutContour = std::vector<CutPoint>;  // closed; the last point joins the first

// Ownership: plain values. Contours do not cross each other or themselves
// (they may touch at a vertex); outer contours have a positive shoelace area
// in page coordinates (clockwise as seen, y being down) and holes a negative
// one, so even-odd and nonzero filling agree.
struct CutLayer {
  std::string Role;    // "outline" (stroke colour) or "fill" (fill colour)
  uint32_t Color = 0;  // RGB, red in the low byte
  std::vector<CutContour> Contours;
};

// The page of the SVG document, in millimetres.
struct CutPage {
  double Width = 0, Height = 0;
};
CutPage PageSize(int32_t width, int32_t height, const ConversionSettings& s);

// The layers of a captured path (pixels, as CaptureTextPath gives it), bottom
// first, empty ones left out; stacked they show the SVG document's picture.
// Curves are flattened and strokes offset to within 0.005 mm (on letters up
// to a metre or so tall; a curve is cut into 256 pieces at most). A long text is
// welded on as many threads as the machine has cores. Failure: none for any
// path record but a lack of memory (std::bad_alloc); a malformed Bézier run
// at the end is dropped as the drawing surfaces drop it.
std::vector<CutLayer> BuildCutLayers(const TPath& path, const ConversionSettings& s);

// Writes the cut-ready SVG document to `out`: the page of SvgDocument, one
// filled path element a layer, with the layer's role as its id. The regions
// are made before the first byte is written; what `out` throws passes.
void WriteCutSvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s,
                         ByteSink& out);

// Appends a coordinate in cut units as the SVG document writes millimetres
// (four decimals, "." as the separator).
void AppendMillimetres(std::string& out, int64_t units);
// The same text written at `at`, which has room for MaxMillimetresChars
// characters; returns its end.
inline constexpr size_t MaxMillimetresChars = 24;  // as MaxTenThousandthsChars
char* WriteMillimetres(char* at, int64_t units);

}  // namespace glyphor
