// The text stack behind the capture: fontconfig finds faces (with the
// program's own aliases for faces that Windows settings files name), FreeType
// gives unhinted outlines and metrics, HarfBuzz shapes. Faces stay open for
// the process, since the preview recaptures on every slider step. Not
// thread-safe: the program runs everything on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/canvas.h"
#include "core/capture.h"

namespace glyphor {


// The fontconfig language for a character set number ("ja" for 128), or
// nullptr for the character sets that imply none.
const char* LanguageForCharset(uint8_t charset);

// Adds the program's font aliases to fontconfig's default configuration, the
// one other libraries (Qt) match fonts with, so that the window shows the
// faces the outlines come from. Call before the toolkit first matches a font.
void InstallFontAliasesForToolkit();

struct GlyphWidths {
  double A = 0;  // left side bearing: ink start relative to the origin
  double B = 0;  // ink width
  double C = 0;  // advance - A - B
};

// A font as selected into the measuring surface: a face found by name, style
// and character set, at an em size in pixels.
class FontRun {
 public:
  // Throws EFontError naming the face when no usable face can be loaded.
  FontRun(const TFontSpec& font, int emPixels);
  ~FontRun();
  FontRun(const FontRun&) = delete;
  FontRun& operator=(const FontRun&) = delete;

  int EmPixels() const { return em_; }
  int Ascent() const { return ascent_; }    // pixels above the baseline
  int Descent() const { return descent_; }  // pixels below it
  // The face the primary font resolved to (for diagnostics and tests).
  std::string FamilyName() const;

  // Floating-point A, B, C widths of one character, in pixels.
  GlyphWidths CharWidths(char32_t ch) const;
  // Width in whole pixels (the shaped advances) and cell height.
  void TextExtent(std::string_view text, int32_t& width, int32_t& height) const;
  // Draws the text's outlines, underline and strike-out into the canvas's
  // open path bracket, with the top-left of the cell at (x, y).
  void DrawText(TCanvas& canvas, int32_t x, int32_t y, std::string_view text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int em_;
  int ascent_ = 0, descent_ = 0;
  bool underline_, strikeOut_;
};

}  // namespace glyphor
