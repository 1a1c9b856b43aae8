// SPDX-License-Identifier: MIT
#include "core/platform/special_folders.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/file_read.h"

namespace glyphor {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The path with repeated and trailing "/" gone, for comparing folders.
std::string Tidy(const std::string& path) {
  std::string tidy;
  for (const char c : path)
    if (c != '/' || tidy.empty() || tidy.back() != '/') tidy += c;
  return WithoutTrailingSlash(tidy);
}

// The home folder and the folders above it belong to the system: a missing
// one means a wrong $HOME (HOME=/nonexistent for daemons), not a folder to make.
bool IsHomeOrAbove(const std::string& folder) {
  const std::string home = Tidy(HomeFolder()), tidy = Tidy(folder);
  return tidy == home || tidy == "/" || home.starts_with(tidy + "/");
}

// dir + "/" + name without doubling the "/" of the root folder.
std::string Join(const std::string& dir, const std::string& name) { return dir == "/" ? "/" + name : dir + "/" + name; }

// One value of user-dirs.dirs, written for the shell: "$HOME/Folder" or
// "/absolute/folder", with \" \\ \$ \` escapes. Empty when the form is not one
// of these two (xdg-user-dirs itself accepts no other).
std::string ParseUserDirValue(const std::string& raw, const std::string& home) {
  std::string text = raw;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  std::string value;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    value += text[i];
  }
  for (const std::string prefix : {"$HOME", "${HOME}"}) {
    if (value.compare(0, prefix.size(), prefix) == 0 && (value.size() == prefix.size() || value[prefix.size()] == '/'))
      return WithoutTrailingSlash((home == "/" ? "" : home) + value.substr(prefix.size()));
  }
  return value.empty() || value[0] != '/' ? std::string() : WithoutTrailingSlash(value);
}

// The folder user-dirs.dirs gives for `key` (XDG_DESKTOP_DIR, ...), or empty.
std::string UserDir(const std::string& key) {
  constexpr size_t kMaxUserDirsBytes = 64 * 1024;  // a dozen lines in practice
  const std::string home = HomeFolder();
  std::string bytes;
  ReadRegularFile(XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs", kMaxUserDirsBytes, bytes);
  std::istringstream in(bytes);
  std::string line, found;
  while (std::getline(in, line)) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const auto eq = line.find('=', start);
    if (eq == std::string::npos || line.compare(start, eq - start, key) != 0) continue;
    const auto end = line.find_last_not_of(" \t\r");
    found = ParseUserDirValue(line.substr(eq + 1, end - eq), home);  // the last one wins, as in the shell
  }
  return found;
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  if (std::string dir = UserDir("XDG_DOCUMENTS_DIR"); !dir.empty()) return dir;
  if (IsFolder(Join(home, "Documents"))) return Join(home, "Documents");
  return home;
}

std::string DesktopFolder() {
  const std::string home = HomeFolder();
  // A desktop set to the home folder means "no desktop" to xdg-user-dirs.
  std::string dir = UserDir("XDG_DESKTOP_DIR");
  if (dir.empty() || dir == home) dir = Join(home, "Desktop");
  MakeFolders(dir);
  return dir;
}

std::string ProgramsFolder() {
  const std::string dir = XdgBaseFolder("XDG_DATA_HOME", ".local/share") + "/applications";
  MakeFolders(dir);
  return dir;
}

}  // namespace

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return WithoutTrailingSlash(home);
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return WithoutTrailingSlash(pw->pw_dir);
  return "/";
}

std::string XdgBaseFolder(const char* variable, const char* underHome) {
  // Relative values are invalid and must be ignored (XDG Base Directory).
  if (const char* value = std::getenv(variable); value && value[0] == '/') return WithoutTrailingSlash(value);
  return Join(HomeFolder(), underHome);
}

bool MakeFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return !path.empty();
  if (IsHomeOrAbove(path)) return false;
  const auto slash =
      path.find_last_not_of('/') == std::string::npos ? std::string::npos : path.rfind('/', path.find_last_not_of('/'));
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && IsFolder(path));
}

std::string GetSpecialFolder(int csidl) {
  switch (csidl) {
    case kFolderDocuments: return DocumentsFolder();
    case kFolderDesktop: return DesktopFolder();
    case kFolderPrograms: return ProgramsFolder();
    default: return {};
  }
}

}  // namespace glyphor
