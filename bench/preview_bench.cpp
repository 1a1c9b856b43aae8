// SPDX-License-Identifier: MIT
// The preview's cost per settings change: capture, record and play, the
// whole image or the part the window shows.
#include <benchmark/benchmark.h>

#include <string>

#include "core/output/metafile_picture.h"
#include "gui/preview/preview_image.h"

namespace {

// 200 characters, Latin and Japanese mixed.
std::string MixedText() {
  const std::string piece = "GLYPHOR グリフ変換テスト 12 ";  // 20 characters
  std::string text;
  for (int i = 0; i < 10; ++i) text += piece;
  return text;
}

glyphor::ConversionSettings Settings(const std::string& text, int resolution) {
  glyphor::ConversionSettings s;
  s.Text = text;
  s.Font.Name = "IPAPGothic";
  s.Resolution = resolution;
  return s;
}

void Preview(benchmark::State& state, const glyphor::ConversionSettings& s) {
  for (auto _ : state) {
    glyphor::MetafilePicture picture;
    glyphor::BuildMetafile(picture, s, glyphor::DefaultScreenPpi);
    QImage image = glyphor::RenderPreview(picture, glyphor::DefaultScreenPpi);
    benchmark::DoNotOptimize(image.constBits());
  }
}

// As the window rebuilds it: the picture read once and the part a preview
// page of the window's design size shows drawn.
void Shown(benchmark::State& state, const glyphor::ConversionSettings& s) {
  for (auto _ : state) {
    glyphor::MetafilePicture picture;
    glyphor::BuildMetafile(picture, s, glyphor::DefaultScreenPpi);
    glyphor::PreviewPicture shown(picture, glyphor::DefaultScreenPpi);
    QImage part = shown.Render(QRect(QPoint(0, 0), shown.Size().boundedTo(QSize(716, 330))));
    benchmark::DoNotOptimize(part.constBits());
  }
}

void Play(benchmark::State& state, const glyphor::ConversionSettings& s) {
  glyphor::MetafilePicture picture;
  glyphor::BuildMetafile(picture, s, glyphor::DefaultScreenPpi);
  for (auto _ : state) {
    QImage image = glyphor::RenderPreview(picture, glyphor::DefaultScreenPpi);
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_PreviewGlyphor1200dpi(benchmark::State& state) { Preview(state, Settings("GLYPHOR", 1200)); }
void BM_PreviewMixed200(benchmark::State& state) { Preview(state, Settings(MixedText(), 400)); }
void BM_PreviewMixed200At1200dpi(benchmark::State& state) { Preview(state, Settings(MixedText(), 1200)); }
void BM_PreviewShownMixed200At1200dpi(benchmark::State& state) { Shown(state, Settings(MixedText(), 1200)); }
void BM_PlayOnlyGlyphor1200dpi(benchmark::State& state) { Play(state, Settings("GLYPHOR", 1200)); }
void BM_PlayOnlyMixed200(benchmark::State& state) { Play(state, Settings(MixedText(), 400)); }

BENCHMARK(BM_PreviewGlyphor1200dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewMixed200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewMixed200At1200dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewShownMixed200At1200dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayOnlyGlyphor1200dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayOnlyMixed200)->Unit(benchmark::kMillisecond);

}  // namespace
