// SPDX-License-Identifier: MIT
// Cut-ready conversion against the normal one, in the process: 200 mixed
// Latin and Japanese characters at 1200 dpi with a 1 mm stroke, capture and
// document together, faces warm. The goal is under three times the normal.
#include <benchmark/benchmark.h>

#include "core/outline/capture.h"
#include "core/output/cut_library.h"
#include "core/output/cut_writers.h"
#include "core/output/svg_writer.h"

namespace {

std::string MixedText(size_t chars) {
  const std::string part = "Glyph outlines 文字の輪郭を切り抜く Cut-ready 東京タワーと夜景 ";
  std::string text;
  size_t n = 0;
  for (size_t k = 0; n < chars; k = (k + 1) % part.size()) {
    if ((static_cast<unsigned char>(part[k]) & 0xC0) != 0x80) ++n;
    text += part[k];
  }
  // The last character's trailing bytes.
  for (size_t k = text.size() % part.size(); (static_cast<unsigned char>(part[k]) & 0xC0) == 0x80; ++k) text += part[k];
  return text;
}

glyphor::ConversionSettings Settings(const char* font, int join) {
  glyphor::ConversionSettings s;
  s.Text = MixedText(200);
  s.Font.Name = font;
  s.Font.Size = 100;
  s.StrokeWidth = 100;
  s.Resolution = 1200;
  s.LineJoin = join;
  return s;
}

enum Kind { Normal, CutReady, Dxf };

void Convert(benchmark::State& state, const char* font) {
  glyphor::InstallLinkedCutWriters();  // as the window has them
  glyphor::ConversionSettings s = Settings(font, static_cast<int>(state.range(1)));
  const Kind kind = static_cast<Kind>(state.range(0));
  s.CutReady = kind == CutReady;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string doc = kind == Dxf ? glyphor::DxfDocumentFor(s, 96) : glyphor::SvgDocumentFor(s, 96);
    bytes = doc.size();
    benchmark::DoNotOptimize(doc.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_IPAPGothic(benchmark::State& state) { Convert(state, "IPAPGothic"); }
void BM_DejaVuSans(benchmark::State& state) { Convert(state, "DejaVu Sans"); }

// Arguments: kind (0 normal, 1 cut-ready SVG, 2 DXF), join (0 miter, 1 round, 2 bevel).
void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "join"});
  for (int kind : {Normal, CutReady, Dxf}) b->Args({kind, 0});
  b->Args({CutReady, 1})->Args({CutReady, 2});
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_IPAPGothic)->Apply(Cases);
BENCHMARK(BM_DejaVuSans)->Apply(Cases);
