#include "core/outline/face_cache.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "core/platform/atomic_file.h"
#include "core/platform/file_names.h"
#include "core/platform/special_folders.h"

namespace glyphor {

namespace {

constexpr const char* kHeader = "glyphor face matches 1";

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

std::optional<std::string> Unhex(const std::string& s) {
  if (s == "-") return std::string();
  if (s.size() % 2) return std::nullopt;
  auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  std::string out;
  for (size_t i = 0; i < s.size(); i += 2) {
    const int hi = nibble(s[i]), lo = nibble(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

// A file's or folder's modification time, "-" when it does not exist.
std::string Stamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "-";
  return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "." +
         std::to_string(st.st_size);
}

// The settings that change where fontconfig looks.
std::string Environment() {
  std::string env;
  for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME", "XDG_CONFIG_HOME",
                           "XDG_DATA_HOME", "XDG_DATA_DIRS", "GLYPHOR_DATA_DIR"}) {
    const char* v = std::getenv(name);
    env += std::string(name) + "=" + (v ? v : "") + "\n";
  }
  return env;
}

}  // namespace

void FaceMatchCache::Load() {
  loaded_ = true;
  if (path_.empty()) return;
  std::ifstream in(path_);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return;
  std::map<std::string, FaceLocation> faces;
  std::vector<std::string> deps;
  try {
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string kind, a, b, c;
      fields >> kind >> a >> b;
      if (kind == "env") {
        if (Unhex(a) != Environment()) return;
      } else if (kind == "dep") {
        const auto path = Unhex(b);
        if (!path || Stamp(*path) != a) return;  // something changed: start afresh
        deps.push_back(*path);
      } else if (kind == "face" && (fields >> c)) {
        const auto key = Unhex(a), file = Unhex(c);
        if (key && file) faces[*key] = {*file, std::stoi(b)};
      }
    }
  } catch (const std::exception&) {
    return;  // a damaged cache is no cache
  }
  deps_ = std::move(deps);
  faces_ = std::move(faces);
}

std::optional<FaceLocation> FaceMatchCache::Lookup(const std::string& key) {
  if (!loaded_) Load();
  auto it = faces_.find(key);
  if (it == faces_.end()) return std::nullopt;
  return it->second;
}

void FaceMatchCache::Store(const std::string& key, const FaceLocation& face,
                           const std::vector<std::string>& dependencies) {
  if (!loaded_) Load();
  if (path_.empty()) return;
  if (dependencies != deps_) faces_.clear();  // made under another configuration
  deps_ = dependencies;
  faces_[key] = face;

  std::string text = std::string(kHeader) + "\nenv " + Hex(Environment()) + "\n";
  for (const auto& d : deps_) text += "dep " + Stamp(d) + " " + Hex(d) + "\n";
  for (const auto& [k, f] : faces_) text += "face " + Hex(k) + " " + std::to_string(f.index) + " " + Hex(f.file) + "\n";
  MakeFolders(FolderOf(path_));
  WriteFileAtomically(path_, text, 0600);
}

std::string DefaultFaceCachePath() {
  if (std::getenv("GLYPHOR_NO_FACE_CACHE")) return {};
  const std::string cache = XdgBaseFolder("XDG_CACHE_HOME", ".cache");
  return cache.starts_with('/') ? cache + "/glyphor/face-matches" : std::string();
}

}  // namespace glyphor
