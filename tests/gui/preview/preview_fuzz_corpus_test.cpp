// SPDX-License-Identifier: MIT
// The player's fuzz corpus replayed: every kept input is played (or
// rejected) without reading outside its bytes.
#include <gtest/gtest.h>

#include "fuzz/player_inputs.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

// The seeds named *.emf are the program's own pictures: they must play.
bool PlaysAndDraws(const std::string& bytes) {
  const std::vector<uint8_t> emf(bytes.begin(), bytes.end());
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const PlayResult r = PlayMetafile(emf, painter, image.rect());
  painter.end();
  EXPECT_TRUE(r.Ok) << r.Error;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != qRgb(255, 255, 255)) return r.Ok;
    }
  }
  return false;
}

TEST(PreviewFuzzCorpus, EveryKeptMetafilePlaysOrIsRejected) {
  const std::string dir = GLYPHOR_SOURCE_DIR "/tests/fuzz/player";
  const auto names = test::ListDir(dir);
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string bytes = test::ReadFile(dir + "/" + name);
    EXPECT_NO_THROW(fuzz::PlayerInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (name.ends_with(".emf")) {
      EXPECT_TRUE(PlaysAndDraws(bytes));
    }
  }
}

}  // namespace
}  // namespace glyphor
