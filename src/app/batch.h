// SPDX-License-Identifier: MIT
// The batch run: one ".gly" settings file converted to the SVG beside it.
#pragma once

#include <string>

namespace glyphor {

// Converts the settings file `glyPath` to the SVG beside it. Messages go to
// standard error (and to a message box when a display exists). Returns the
// exit status.
int RunBatch(const std::string& glyPath);

// The output path of a batch run: the argument's extension replaced by ".svg".
std::string BatchOutputPath(const std::string& glyPath);

}  // namespace glyphor
