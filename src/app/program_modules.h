// SPDX-License-Identifier: MIT
// The program's own shared objects (the window module, the cut module),
// opened with dlopen only when a run needs them.
#pragma once

#include <string>

namespace glyphor {

// Opens the module file `fileName` (with dlopen's `mode`: RTLD_NOW or
// RTLD_LAZY) beside the executable (build tree) or in the installed module
// folder <exe dir>/../<libdir>/glyphor. Null when it cannot be opened; `why`
// then holds the dynamic loader's reason, for a file that is there when one is.
void* OpenProgramModule(const char* fileName, int mode, std::string& why);

}  // namespace glyphor
