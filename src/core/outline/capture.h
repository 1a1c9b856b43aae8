// SPDX-License-Identifier: MIT
// Text outline capture: the glyph outlines of a line of text, at a capture
// size chosen from the resolution, as a path in whole pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/outline/font_choice.h"
#include "core/outline/path_record.h"

namespace glyphor {

// The capture font's size in whole points: the text is rendered as if the
// font were 72 points high on a `resolution` dpi device (truncated).
int CaptureFontSize(int resolution, int screenPpi);

// Captures `text` (UTF-8) in `font` at the capture size for `resolution` dpi,
// on a screen of `screenPpi` pixels per inch. Fills `path` (pixels, x right,
// y down, origin at the top-left of the text's cell) and returns the text's
// width (overhangs included) and cell height in pixels. Faces come from
// `engine`. Throws EFontError when the face cannot be loaded or no face has
// any of the text's characters, EOutOfResources when a coordinate would not
// fit in 32 bits.
class FontEngine;
class FontRun;
FontEngine& SharedFontEngine();

void CaptureTextPath(const std::string& text, const TFontSpec& font, int resolution, int screenPpi, TPath& path,
                     int32_t& width, int32_t& height, FontEngine& engine = SharedFontEngine());

// Whole pixels by which the glyph drawn first (leftmost) reaches left of its
// origin, and the glyph drawn last beyond its advance, in `font`.
int LeftOverhang(const FontRun& font, std::string_view text);
int RightOverhang(const FontRun& font, std::string_view text);

// The faces one capture set its text in, for a report of what was used.
struct CaptureFaceRun {
  std::string text;       // the run's characters, UTF-8, control characters left out
  std::string family;     // the face's family name, as its font file gives it
  std::string file;       // the font file
  int index = 0;          // the face's index in that file
  bool fallback = false;  // stands in for characters the requested face lacks
};
struct CaptureFaces {
  std::string requested;  // the face name the settings ask for
  std::string family;     // the face that name resolved to, its file and index
  std::string file;
  int index = 0;
  // The face found is neither the one named nor the program's alias for it
  // (fontconfig put another in its place).
  bool substituted = false;
  std::vector<CaptureFaceRun> runs;  // in the text's order; adjacent runs differ in face
};
// Called after each capture that succeeds, with the faces it used. An empty
// function (the default) ends the reports; captures then spend nothing on them.
void SetCaptureFacesObserver(std::function<void(const CaptureFaces&)> observer);

}  // namespace glyphor
