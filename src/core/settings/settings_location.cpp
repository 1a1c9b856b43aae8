// SPDX-License-Identifier: MIT
#include "core/settings/settings_location.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/exe_path.h"
#include "core/platform/file_names.h"
#include "core/platform/special_folders.h"

namespace glyphor {

namespace {

// Folders that belong to the system's packages. access() says yes to root
// everywhere, and an installed program run as root must not drop its settings
// into /usr/bin; nor should it for a user who happens to own /usr/local.
bool InSystemFolder(const std::string& path) {
  for (const std::string top :
       {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/etc", "/opt", "/snap", "/var/lib"}) {
    if (path.compare(0, top.size(), top) == 0 && (path.size() == top.size() || path[top.size()] == '/')) return true;
  }
  return false;
}

// Our rule for "writable": access(W_OK) grants it (this also catches
// read-only mounts such as an AppImage), the path lies outside the system's
// package folders, and, since root passes access() on any file, the file or
// folder carries at least one write bit in its mode.
bool MayWrite(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0) return false;
  return (st.st_mode & 0222) != 0 && !InSystemFolder(path);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string SettingsPathBesideExe(const std::string& exePath) { return ReplaceExtension(exePath, ".ini"); }

std::string ChooseSettingsPath(const std::string& exePath, const std::string& home, const std::string& xdgConfigHome) {
  if (!exePath.empty()) {
    const std::string beside = SettingsPathBesideExe(exePath);
    if (Exists(beside) ? MayWrite(beside) : MayWrite(FolderOf(beside))) return beside;
  }
  std::string config = xdgConfigHome;
  if (config.empty() || config[0] != '/') config = home + "/.config";
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config + "/glyphor/glyphor.ini";
}

std::string OwnSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return ChooseSettingsPath(ExecutablePath(), HomeFolder(), config ? config : "");
}

bool EnsureSettingsFolder(const std::string& settingsPath) { return MakeFolders(FolderOf(settingsPath)); }

}  // namespace glyphor
