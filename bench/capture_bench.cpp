// SPDX-License-Identifier: MIT
// Warm captures: faces stay open and glyph outlines cached between calls, as
// in the window, where the preview recaptures on every slider step.
#include <benchmark/benchmark.h>

#include "core/outline/capture.h"

namespace {

std::string MixedText(size_t chars) {
  const char* pieces[] = {"GLYPHOR ", "袋文字", "は", "Outline ", "テキスト", "輪郭線", "SVG "};
  std::string text;
  size_t n = 0;
  for (size_t i = 0; n < chars; ++i) {
    const std::string piece = pieces[i % 7];
    for (size_t k = 0; k < piece.size() && n < chars;) {
      const unsigned char c = piece[k];
      const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      text += piece.substr(k, len);
      k += len;
      ++n;
    }
  }
  return text;
}

void Capture(benchmark::State& state, const std::string& text) {
  glyphor::TFontSpec font;
  font.Name = "IPAPGothic";
  const int resolution = static_cast<int>(state.range(0));
  for (auto _ : state) {
    glyphor::TPath path;
    int32_t w = 0, h = 0;
    glyphor::CaptureTextPath(text, font, resolution, 96, path, w, h);
    benchmark::DoNotOptimize(path.Count());
  }
}

void BM_CaptureGlyphor(benchmark::State& state) { Capture(state, "GLYPHOR"); }
void BM_Capture200Mixed(benchmark::State& state) { Capture(state, MixedText(200)); }

}  // namespace

BENCHMARK(BM_CaptureGlyphor)->Arg(400)->Arg(1200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Capture200Mixed)->Arg(400)->Arg(1200)->Unit(benchmark::kMicrosecond);
