// SPDX-License-Identifier: MIT
#include "core/platform/exe_path.h"

#include "core/platform/file_names.h"

#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace glyphor {

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableDir() { return FolderOf(ExecutablePath()); }

static bool IsDir(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DataDir() {
  if (const char* env = std::getenv("GLYPHOR_DATA_DIR"); env && *env) return env;
  const std::string dir = ExecutableDir();
  for (const std::string& candidate : {dir + "/../" GLYPHOR_DATA_SUBDIR, dir + "/" GLYPHOR_DATA_SUBDIR}) {
    if (IsDir(candidate)) return candidate;
  }
  return {};
}

}  // namespace glyphor
