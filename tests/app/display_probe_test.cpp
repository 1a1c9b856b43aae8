#include "app/display_probe.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace glyphor {
namespace {

TEST(DisplayTest, UnreachableDisplaysAreRecognised) {
  EXPECT_FALSE(XDisplayAnswers(""));
  EXPECT_FALSE(XDisplayAnswers("nonsense"));
  EXPECT_FALSE(XDisplayAnswers(":"));
  EXPECT_FALSE(XDisplayAnswers(":59001"));  // beyond any port
  EXPECT_FALSE(XDisplayAnswers(":4711"));   // nobody serves display 4711 here
  test::TempDir dir;
  test::WriteFile(dir / "wayland-0", "");
  EXPECT_FALSE(WaylandSocketExists("", dir.path()));
  EXPECT_FALSE(WaylandSocketExists("wayland-0", dir.path()));  // a file, not a socket
  EXPECT_FALSE(WaylandSocketExists("wayland-0", ""));
}

}  // namespace
}  // namespace glyphor
