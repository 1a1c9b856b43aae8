// SPDX-License-Identifier: MIT
// The window on a 1280 x 1024 screen scaled by 2 (QT_SCALE_FACTOR, as a HiDPI
// desktop sets it): placed on the screen, its pictures drawn at the screen's
// own pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>

#include "core/outline/font_match.h"
#include "gui/window/form.h"
#include "gui/window/form_widgets.h"
#include "support/test_support.h"

using namespace glyphor;

namespace {

class ScaledScreenEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Qt's offscreen platform takes its screens from a file.
    const std::string config = dir_ / "screens.json";
    std::ofstream(config) << R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
                             R"( "logicalDpi": 96, "logicalBaseDpi": 96}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
    setenv("QT_SCALE_FACTOR", "2", 1);
    static int argc = 1;
    static char name[] = "window_scaled_test";
    static char* argv[] = {name, nullptr};
    InstallFontAliasesForToolkit();
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  glyphor::test::TempDir dir_;
  QApplication* app_ = nullptr;
};
const auto* const kScaled = ::testing::AddGlobalTestEnvironment(new ScaledScreenEnvironment);

TEST(ScaledWindowTest, FirstPlacementKeepsTheWindowOnTheScreen) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(screen->devicePixelRatio(), 2.0);
  const QRect area = screen->availableGeometry();
  ASSERT_EQ(area.width(), 640);  // smaller than the design size

  TFormServices services;
  TForm1 form(96, services);
  form.show();
  const QRect frame = form.frameGeometry();
  EXPECT_GE(frame.left(), area.left());
  EXPECT_GE(frame.top(), area.top());
  EXPECT_LE(frame.right(), area.right());
  EXPECT_LE(frame.bottom(), area.bottom());
}

TEST(ScaledWindowTest, PreviewAndSampleAreDrawnAtTheScreensPixels) {
  TFormServices services;
  TForm1 form(96, services);
  TFontSpec font;
  font.Name = "DejaVu Sans";
  form.Settings().SetFont(font);
  form.show();
  form.UpdatePreview();

  const QImage preview = form.Image1->Shown();
  ASSERT_FALSE(preview.isNull());
  EXPECT_EQ(preview.devicePixelRatio(), 2.0);
  // The same size on the screen as at scale 1, with twice the pixels across.
  EXPECT_NEAR(form.Image1->width() * 2, preview.width(), 2);
  EXPECT_NEAR(form.Image1->height() * 2, preview.height(), 2);
  EXPECT_GT(form.Image1->width(), 100);
  // Painted part by part at the screen's pixels, the same as the whole.
  const QPixmap painted = form.Image1->grab(QRect(10, 3, form.Image1->width() - 20, form.Image1->height() - 5));
  EXPECT_EQ(painted.devicePixelRatio(), 2.0);
  EXPECT_EQ(painted.toImage().convertToFormat(QImage::Format_RGB32),
            preview.copy(20, 6, painted.width(), painted.height()));

  const QPixmap sample = form.ImageFukuromoji->pixmap();
  ASSERT_FALSE(sample.isNull());
  EXPECT_EQ(sample.size(), QSize(160, 70));
  EXPECT_EQ(sample.devicePixelRatio(), 2.0);
}

}  // namespace
