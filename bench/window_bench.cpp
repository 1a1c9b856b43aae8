// SPDX-License-Identifier: MIT
// One stroke-width notification with the preview page showing: capture,
// picture, playback and image, as while the user drags the slider.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSlider>

#include "gui/window/form_widgets.h"

#include <string>

#include "gui/window/form.h"

namespace {

// Real writers and pictures; nothing that would block or leave the process.
class BenchServices : public glyphor::TFormServices {
 public:
  void ShowError(QWidget*, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

// 200 characters, Latin and Japanese mixed, as in the preview benchmark.
std::string MixedText() {
  const std::string piece = "GLYPHOR グリフ変換テスト 12 ";  // 20 characters
  std::string text;
  for (int i = 0; i < 10; ++i) text += piece;
  return text;
}

// `text` empty: the window's own text.
void SliderSteps(benchmark::State& state, const std::string& text) {
  BenchServices services;
  glyphor::TForm1 form(96, services);
  // A step draws the part of the preview the window shows: the form is
  // shown (offscreen) at its design size, before the settings (showing it
  // reads the sliders), and each step is painted at once.
  form.show();
  QCoreApplication::processEvents();
  form.Settings().SetResolution(static_cast<int>(state.range(0)));
  if (!text.empty()) {
    form.Settings().SetFontName("IPAPGothic");
    form.Settings().SetText(text);
  }
  form.SetActivePage(form.TabPreview);
  form.UpdatePreview();
  // The preview must really be rebuilt by a step, or the figure means nothing.
  const QImage before = form.Image1->Shown();
  form.trbStrokeWidth->setValue(60);
  if (form.Image1->IsEmpty() || form.Image1->Shown() == before) {
    state.SkipWithError("the slider step did not rebuild the preview");
    return;
  }
  state.counters["width"] = form.Image1->width();
  state.counters["dpi"] = form.Settings().Values().Resolution;
  int width = 50;
  for (auto _ : state) {
    width = width == 50 ? 51 : 50;
    form.trbStrokeWidth->setValue(width);  // one notification, one rebuild
    form.Image1->repaint();                // and the visible part painted
  }
}

void BM_SliderStepWithPreview(benchmark::State& state) { SliderSteps(state, ""); }
void BM_SliderStepWithPreview200(benchmark::State& state) { SliderSteps(state, MixedText()); }

}  // namespace

BENCHMARK(BM_SliderStepWithPreview)->Arg(400)->Arg(1200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SliderStepWithPreview200)->Arg(400)->Arg(1200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
