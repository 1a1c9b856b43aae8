// Text outline capture: the glyph outlines of a line of text, at a capture
// size chosen from the resolution, as a path in whole pixels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/outline/font_spec.h"
#include "core/outline/path_record.h"

namespace glyphor {

// The capture font's size in whole points: the text is rendered as if the
// font were 72 points high on a `resolution` dpi device (truncated).
int CaptureFontSize(int resolution, int screenPpi);

// Captures `text` (UTF-8) in `font` at the capture size for `resolution` dpi,
// on a screen of `screenPpi` pixels per inch. Fills `path` (pixels, x right,
// y down, origin at the top-left of the text's cell) and returns the text's
// width (overhangs included) and cell height in pixels. Faces come from
// `engine`. Throws EFontError when the face cannot be loaded.
class FontEngine;
class FontRun;
FontEngine& SharedFontEngine();

void CaptureTextPath(const std::string& text, const TFontSpec& font, int resolution, int screenPpi, TPath& path,
                     int32_t& width, int32_t& height, FontEngine& engine = SharedFontEngine());

// Whole pixels by which the first character's glyph reaches left of its
// origin, and the last character's glyph beyond its advance, in `font`.
int LeftOverhang(const FontRun& font, std::string_view text);
int RightOverhang(const FontRun& font, std::string_view text);

}  // namespace glyphor
