// SPDX-License-Identifier: MIT
// The test programs' main: GoogleTest's own, except that the font matches
// the tests remember go to the build tree, never into the user's cache,
// which the installed program keeps there.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::setenv("XDG_CACHE_HOME", GLYPHOR_TEST_CACHE_DIR, 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
