// SPDX-License-Identifier: MIT
// The batch conversion's core for long texts: capture and the SVG document,
// without the process around them (a settings file holds at most 2047 bytes
// of text). Faces stay open between runs, as in a warm process.
#include <benchmark/benchmark.h>

#include <string>

#include "core/outline/capture.h"
#include "core/output/svg_writer.h"

namespace {

std::string Latin(size_t chars) {
  const std::string sentence = "The quick brown fox jumps over the lazy dog. ";
  std::string text;
  while (text.size() < chars) text += sentence;
  return text.substr(0, chars);
}

// 200 characters, Latin and Japanese mixed: the Japanese ones come from a
// fallback face.
std::string Mixed200() {
  const std::string piece = "GLYPHOR グリフ変換テスト 12 ";  // 20 characters
  std::string text;
  for (int i = 0; i < 10; ++i) text += piece;
  return text;
}

// One conversion; out of line, so that a profiler can count one call.
[[gnu::noinline]] size_t ConvertOnce(const glyphor::ConversionSettings& s) {
  glyphor::TPath path;
  int32_t w = 0, h = 0;
  glyphor::CaptureTextPath(s.Text, s.Font, s.Resolution, glyphor::DefaultScreenPpi, path, w, h);
  const std::string doc = glyphor::SvgDocument(path, w, h, s);
  benchmark::DoNotOptimize(doc.data());
  return doc.size();
}

void Convert(benchmark::State& state, const std::string& text, bool twoLayers) {
  glyphor::ConversionSettings s;
  s.Text = text;
  s.Font.Name = "DejaVu Sans";
  s.Fukuromoji = twoLayers;
  size_t bytes = ConvertOnce(s);  // faces opened and glyphs loaded, as in a warm process
  for (auto _ : state) bytes = ConvertOnce(s);
  state.counters["bytes"] = static_cast<double>(bytes);
}

// The document alone, from a path captured once.
void DocumentOnly(benchmark::State& state, const std::string& text, bool twoLayers) {
  glyphor::ConversionSettings s;
  s.Text = text;
  s.Font.Name = "DejaVu Sans";
  s.Fukuromoji = twoLayers;
  glyphor::TPath path;
  int32_t w = 0, h = 0;
  glyphor::CaptureTextPath(s.Text, s.Font, s.Resolution, glyphor::DefaultScreenPpi, path, w, h);
  for (auto _ : state) {
    const std::string doc = glyphor::SvgDocument(path, w, h, s);
    benchmark::DoNotOptimize(doc.data());
  }
  state.counters["points"] = path.Count();
}

void BM_ConvertLatin(benchmark::State& state) { Convert(state, Latin(size_t(state.range(0))), false); }
void BM_ConvertLatinTwoLayers(benchmark::State& state) { Convert(state, Latin(size_t(state.range(0))), true); }
void BM_ConvertMixed200(benchmark::State& state) { Convert(state, Mixed200(), false); }
void BM_DocumentLatin(benchmark::State& state) { DocumentOnly(state, Latin(size_t(state.range(0))), false); }
void BM_DocumentLatinTwoLayers(benchmark::State& state) { DocumentOnly(state, Latin(size_t(state.range(0))), true); }

}  // namespace

BENCHMARK(BM_ConvertLatin)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertLatinTwoLayers)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMixed200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentLatin)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentLatinTwoLayers)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
