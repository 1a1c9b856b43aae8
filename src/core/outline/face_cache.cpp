// SPDX-License-Identifier: MIT
#include "core/outline/face_cache.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include <sys/stat.h>

#include "core/platform/atomic_file.h"
#include "core/platform/file_names.h"
#include "core/platform/file_read.h"
#include "core/platform/special_folders.h"

namespace glyphor {

namespace {

constexpr const char* kHeader = "glyphor face matches 3";
// Far above what the entry limits allow; anything larger was not written here.
constexpr size_t kMaxFileBytes = 8 << 20;

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

// Read for every entry of every warm run: one pass, no growth.
std::optional<std::string> Unhex(std::string_view s) {
  if (s == "-") return std::string();
  if (s.size() % 2) return std::nullopt;
  auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  std::string out(s.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); ++i) {
    const int hi = nibble(s[2 * i]), lo = nibble(s[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out[i] = static_cast<char>(hi * 16 + lo);
  }
  return out;
}

template <typename T>
std::optional<T> Number(std::string_view s, int base = 10) {
  T v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  parts.reserve(sep == ' ' ? 8 : 128);  // a line's fields, a file's lines
  for (size_t start = 0;;) {
    const size_t end = s.find(sep, start);
    parts.push_back(s.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Code points as hexadecimal ranges: "4e00-4e05,5b57".
std::string Ranges(const std::vector<char32_t>& cps) {
  std::string out;
  char buf[16];
  auto hex = [&](char32_t c) {
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(c), 16);
    out.append(buf, r.ptr);
  };
  for (size_t i = 0; i < cps.size();) {
    size_t j = i;
    while (j + 1 < cps.size() && cps[j + 1] == cps[j] + 1) ++j;
    if (!out.empty()) out += ',';
    hex(cps[i]);
    if (j > i) {
      out += '-';
      hex(cps[j]);
    }
    i = j + 1;
  }
  return out;
}

bool ParseRanges(std::string_view s, std::vector<char32_t>& cps) {
  for (std::string_view part : Split(s, ',')) {
    const auto bounds = Split(part, '-');
    if (bounds.size() > 2) return false;
    const auto lo = Number<uint32_t>(bounds[0], 16), hi = Number<uint32_t>(bounds.back(), 16);
    if (!lo || !hi || *lo > *hi || *hi > 0x10FFFF || cps.size() + (*hi - *lo) >= FaceMatchCache::kMaxFallbackChars)
      return false;
    for (uint32_t c = *lo; c <= *hi; ++c) cps.push_back(c);
  }
  return true;
}

// A file's or folder's modification time and size, "-" when it does not exist.
std::string Stamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "-";
  std::string out;
  out.reserve(48);
  auto put = [&out](long long v) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
  };
  put(st.st_mtim.tv_sec);
  out += '.';
  put(st.st_mtim.tv_nsec);
  out += '.';
  put(st.st_size);
  return out;
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

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The cache folder and the base folder it lies in, never anything above:
// a missing home is not made up.
bool MakeCacheFolder(const std::string& folder) {
  const std::string base = FolderOf(folder);
  for (const std::string& dir : {base, folder})
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsFolder(folder);
}

}  // namespace

bool FaceMatchCache::ReadScope(const std::vector<std::string_view>& lines, size_t from, size_t to, Scope& scope,
                               bool& stale, uint64_t& clock) {
  for (size_t i = from; i < to; ++i) {
    const std::vector<std::string_view> f = Split(lines[i], ' ');
    if (f[0] == "dep" && f.size() == 3) {
      const auto path = Unhex(f[2]);
      if (!path) return false;
      stale = stale || Stamp(*path) != f[1];  // something changed: this scope starts afresh
      scope.deps.push_back(*path);
    } else if (f[0] == "face" && f.size() == 5) {
      const auto key = Unhex(f[1]), file = Unhex(f[4]);
      const auto used = Number<uint64_t>(f[2]);
      const auto index = Number<int>(f[3]);
      if (!key || !file || !used || !index) return false;
      Entry& e = scope.entries[*key];
      e.face = FaceLocation{*file, *index};
      e.used = *used;
      clock = std::max(clock, *used);
    } else if (f[0] == "fallback" && f.size() == 5) {
      const auto key = Unhex(f[1]), file = Unhex(f[3]);
      const auto index = f[2] == "-" ? std::optional<int>(-1) : Number<int>(f[2]);
      std::vector<char32_t> cps;
      if (!key || !file || !index || !ParseRanges(f[4], cps) || !scope.entries.count(*key)) return false;
      std::optional<FaceLocation> where;
      if (*index >= 0) where = FaceLocation{*file, *index};
      for (char32_t c : cps) scope.entries[*key].fallback[c] = where;
    } else if (!lines[i].empty()) {
      return false;
    }
  }
  return true;
}

void FaceMatchCache::Load() {
  loaded_ = true;
  scope_ = Environment() + '\n' + scopeExtra_;
  std::string bytes;
  if (path_.empty() || ReadRegularFile(path_, kMaxFileBytes, bytes) != ReadStatus::Ok) return;
  const std::vector<std::string_view> lines = Split(bytes, '\n');
  if (lines.empty() || lines[0] != kHeader) return;
  // Only this run's scope is read; the others are kept as they are written.
  const std::string mine = Hex(scope_);
  std::map<std::string, Scope> scopes;
  std::map<std::string, std::string> unread;
  uint64_t clock = 0;
  size_t i = 1;
  if (i < lines.size() && lines[i].starts_with("clock ")) {
    const auto c = Number<uint64_t>(lines[i].substr(6));
    if (!c) return;  // a damaged cache is no cache
    clock = *c;
    ++i;
  }
  while (i < lines.size()) {
    if (lines[i].empty()) {
      ++i;
      continue;
    }
    if (!lines[i].starts_with("scope ")) return;
    const std::string_view name = lines[i].substr(6);
    size_t end = i + 1;
    while (end < lines.size() && !lines[end].starts_with("scope ")) ++end;
    if (name == mine) {
      Scope scope;
      bool stale = false;
      if (scopes.count(scope_) || !ReadScope(lines, i + 1, end, scope, stale, clock)) return;
      if (!stale) scopes.emplace(scope_, std::move(scope));
    } else {
      const auto key = Unhex(name);
      if (!key || unread.count(*key)) return;
      std::string& text = unread[*key];
      if (end > i + 1) text.assign(lines[i + 1].data(), lines[end - 1].data() + lines[end - 1].size());
    }
    i = end;
  }
  scopes_ = std::move(scopes);
  unread_ = std::move(unread);
  clock_ = clock;
}

// The other settings' scopes, read before the file is written again: those
// whose files have changed or that are damaged go.
void FaceMatchCache::ReadOtherScopes() {
  for (const auto& [name, text] : unread_) {
    const std::vector<std::string_view> lines = Split(text, '\n');
    Scope scope;
    bool stale = false;
    uint64_t clock = 0;
    if (ReadScope(lines, 0, lines.size(), scope, stale, clock) && !stale) scopes_.emplace(name, std::move(scope));
  }
  unread_.clear();
}

FaceMatchCache::Entry* FaceMatchCache::Find(const std::string& key) {
  if (!loaded_) Load();
  auto& entries = Mine().entries;
  auto it = entries.find(key);
  if (it == entries.end()) return nullptr;
  // Written down again only once it has fallen into the older half, so a
  // warm run seldom writes and a request in use is never the one to go.
  Entry& e = it->second;
  if (e.used + kMaxRequests / 2 < clock_) {
    e.used = ++clock_;
    dirty_ = true;
  }
  return &e;
}

std::optional<FaceLocation> FaceMatchCache::Lookup(const std::string& key) {
  const Entry* e = Find(key);
  return e ? e->face : std::nullopt;
}

std::optional<std::optional<FaceLocation>> FaceMatchCache::LookupFallback(const std::string& key, char32_t cp) {
  const Entry* e = Find(key);
  if (!e) return std::nullopt;
  auto it = e->fallback.find(cp);
  if (it == e->fallback.end()) return std::nullopt;
  return it->second;
}

FaceMatchCache::Entry& FaceMatchCache::Touch(const std::string& key, const std::vector<std::string>& dependencies) {
  if (!loaded_) Load();
  Scope& mine = Mine();
  if (dependencies != mine.deps) mine.entries.clear();  // made under another configuration
  mine.deps = dependencies;
  Entry& e = mine.entries[key];
  e.used = ++clock_;
  dirty_ = true;
  return e;
}

void FaceMatchCache::Store(const std::string& key, const FaceLocation& face,
                           const std::vector<std::string>& dependencies) {
  if (path_.empty()) return;
  Touch(key, dependencies).face = face;
}

void FaceMatchCache::StoreFallback(const std::string& key, char32_t cp, const std::optional<FaceLocation>& face,
                                   const std::vector<std::string>& dependencies) {
  if (path_.empty()) return;
  Entry& e = Touch(key, dependencies);
  // One request's text alone may not fill the cache; past that its rarer
  // characters are looked up afresh.
  if (e.fallback.size() < kMaxFallbackChars / 4) e.fallback[cp] = face;
}

// Drops the least recently used requests, whatever their scope, until both
// limits hold, then the scopes used least recently beyond their limit.
void FaceMatchCache::Evict() {
  size_t requests = 0, chars = 0;
  for (const auto& [name, scope] : scopes_) {
    requests += scope.entries.size();
    for (const auto& [key, e] : scope.entries) chars += e.fallback.size();
  }
  while (requests > kMaxRequests || chars > kMaxFallbackChars) {
    std::map<std::string, Entry>* from = nullptr;
    std::map<std::string, Entry>::iterator oldest;
    for (auto& [name, scope] : scopes_)
      for (auto it = scope.entries.begin(); it != scope.entries.end(); ++it)
        if (!from || it->second.used < oldest->second.used) {
          from = &scope.entries;
          oldest = it;
        }
    chars -= oldest->second.fallback.size();
    --requests;
    from->erase(oldest);
  }
  std::erase_if(scopes_, [](const auto& s) { return s.second.entries.empty(); });
  auto lastUse = [](const Scope& s) {
    uint64_t last = 0;
    for (const auto& [key, e] : s.entries) last = std::max(last, e.used);
    return last;
  };
  while (scopes_.size() > kMaxScopes) {
    auto oldest = scopes_.begin();
    for (auto it = scopes_.begin(); it != scopes_.end(); ++it)
      if (lastUse(it->second) < lastUse(oldest->second)) oldest = it;
    scopes_.erase(oldest);
  }
}

std::string FaceMatchCache::Text() const {
  std::string text = std::string(kHeader) + "\nclock " + std::to_string(clock_) + "\n";
  for (const auto& [name, scope] : scopes_) {
    if (scope.entries.empty()) continue;
    text += "scope " + Hex(name) + "\n";
    for (const auto& d : scope.deps) text += "dep " + Stamp(d) + " " + Hex(d) + "\n";
    for (const auto& [key, e] : scope.entries) {
      if (!e.face) continue;  // fallbacks are read only after their request's face
      const std::string k = Hex(key);
      text += "face " + k + " " + std::to_string(e.used) + " " + std::to_string(e.face->index) + " " +
              Hex(e.face->file) + "\n";
      std::map<std::optional<FaceLocation>, std::vector<char32_t>> byFace;
      for (const auto& [cp, where] : e.fallback) byFace[where].push_back(cp);
      for (const auto& [where, cps] : byFace)
        text += "fallback " + k + " " + (where ? std::to_string(where->index) + " " + Hex(where->file) : "- -") + " " +
                Ranges(cps) + "\n";
    }
  }
  return text;
}

void FaceMatchCache::Save() {
  if (!dirty_ || path_.empty()) return;
  dirty_ = false;
  ReadOtherScopes();
  Evict();
  if (MakeCacheFolder(FolderOf(path_))) WriteFileAtomically(path_, Text(), 0600);
}

std::string DefaultFaceCachePath() {
  if (std::getenv("GLYPHOR_NO_FACE_CACHE")) return {};
  const std::string cache = XdgBaseFolder("XDG_CACHE_HOME", ".cache");
  if (!cache.starts_with('/') || !IsFolder(FolderOf(cache))) return {};
  return cache + "/glyphor/face-matches";
}

}  // namespace glyphor
