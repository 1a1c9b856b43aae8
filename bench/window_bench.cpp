// One stroke-width notification with the preview page showing: capture,
// picture, playback and image, as while the user drags the slider.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSlider>

#include "gui/window/form.h"

namespace {

// Real writers and pictures; nothing that would block or leave the process.
class BenchServices : public glyphor::TFormServices {
 public:
  void ShowError(QWidget*, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

void BM_SliderStepWithPreview(benchmark::State& state) {
  BenchServices services;
  glyphor::TForm1 form(96, services);
  form.Settings().SetResolution(static_cast<int>(state.range(0)));
  form.SetActivePage(form.TabPreview);
  form.UpdatePreview();
  // The preview must really be rebuilt by a step, or the figure means nothing.
  const qint64 before = form.Image1->pixmap().cacheKey();
  form.trbStrokeWidth->setValue(60);
  if (form.Image1->pixmap().cacheKey() == before || form.Image1->pixmap().isNull()) {
    state.SkipWithError("the slider step did not rebuild the preview");
    return;
  }
  int width = 50;
  for (auto _ : state) {
    width = width == 50 ? 51 : 50;
    form.trbStrokeWidth->setValue(width);  // one notification, one rebuild
  }
}

}  // namespace

BENCHMARK(BM_SliderStepWithPreview)->Arg(400)->Arg(1200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
