// SPDX-License-Identifier: MIT
// Outline paths in tests: as strings, and the hand-made paths that the
// writers' tests share.
#pragma once

#include <string>

#include "core/outline/path_record.h"

namespace glyphor::test {

// "M0,0 L400,0 L400,400 L0,400 z" - one letter a point kind (C once for each
// run of three Bezier points), "z" after a point with the close flag.
std::string PathToString(const TPath& path);

// Hand-made paths shared by the writers' tests: the worked example's square
// "M0,0 L400,0 L400,400 L0,400 z", and the triangle "M10,30 L100,30 L100,200 z".
TPath SquarePath();
TPath TrianglePath();

}  // namespace glyphor::test
