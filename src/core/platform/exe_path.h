// SPDX-License-Identifier: MIT
// Where the running program is, and the data folder that ships with it.
#pragma once

#include <string>

namespace glyphor {

// Full path of the running executable (from /proc/self/exe).
std::string ExecutablePath();
// Its folder, without a trailing "/" (except for "/" itself).
std::string ExecutableDir();
// The program's data folder: <exe dir>/../share/glyphor for an installed tree
// (bin/ beside share/), <exe dir>/share/glyphor in the build tree, or
// <exe dir>/../share/glyphor for programs one folder down (tests). Empty when
// none exists. GLYPHOR_DATA_DIR overrides it.
std::string DataDir();

}  // namespace glyphor
