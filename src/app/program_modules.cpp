// SPDX-License-Identifier: MIT
#include "app/program_modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include "core/platform/exe_path.h"

namespace glyphor {

void* OpenProgramModule(const char* fileName, int mode, std::string& why) {
  const std::string dir = ExecutableDir();
  bool found = false;
  for (const std::string& path : {dir + "/" + fileName, dir + "/../" GLYPHOR_MODULE_SUBDIR "/" + fileName}) {
    if (void* handle = ::dlopen(path.c_str(), mode | RTLD_LOCAL)) return handle;
    // A file that is there but does not load (a library of its own
    // missing) says more than the folder that has none.
    const char* error = ::dlerror();
    const bool exists = ::access(path.c_str(), F_OK) == 0;
    if (!found || exists) why = error ? error : path;
    found = found || exists;
  }
  return nullptr;
}

}  // namespace glyphor
