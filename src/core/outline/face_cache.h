// SPDX-License-Identifier: MIT
// Which font file fontconfig chose for each font request, and which faces it
// chose for the characters that face lacks, kept between runs so that a
// batch conversion need not parse fontconfig's whole configuration (most of
// a conversion's time). An entry is trusted only while every configuration
// file, font folder and setting it came from is unchanged. Runs under other
// settings (a desktop session and a script, two installed copies with their
// own alias files) keep their decisions apart, so taking turns costs neither
// a cold run. The least recently used requests go first once the cache is full.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glyphor {

struct FaceLocation {
  std::string file;
  int index = 0;
  friend auto operator<=>(const FaceLocation&, const FaceLocation&) = default;
};

class FaceMatchCache {
 public:
  // Requests kept, and fallback characters kept over all requests.
  static constexpr size_t kMaxRequests = 256;
  static constexpr size_t kMaxFallbackChars = 16384;
  // Settings under which decisions are kept side by side.
  static constexpr size_t kMaxScopes = 4;

  // `path` is the cache file; an empty path keeps nothing. `scope` names
  // what besides the environment decides the matches (the program's alias
  // file): decisions are kept per environment and scope.
  explicit FaceMatchCache(std::string path, std::string scope = {})
      : path_(std::move(path)), scopeExtra_(std::move(scope)) {}

  // The face recorded for the request `key`, when the record is still valid.
  std::optional<FaceLocation> Lookup(const std::string& key);
  // The face recorded for a character the request's face lacks: nothing when
  // no decision is recorded, an empty location when no face has it.
  std::optional<std::optional<FaceLocation>> LookupFallback(const std::string& key, char32_t cp);
  // Record decisions, with the files and folders their configuration came from.
  void Store(const std::string& key, const FaceLocation& face, const std::vector<std::string>& dependencies);
  void StoreFallback(const std::string& key, char32_t cp, const std::optional<FaceLocation>& face,
                     const std::vector<std::string>& dependencies);
  // Writes the file when anything changed (failures to save are ignored: it
  // is only a cache).
  void Save();

 private:
  struct Entry {
    std::optional<FaceLocation> face;
    std::map<char32_t, std::optional<FaceLocation>> fallback;
    uint64_t used = 0;  // the clock at the last use that was written down
  };
  // The decisions made under one environment and scope, with the files and
  // folders their configuration came from.
  struct Scope {
    std::vector<std::string> deps;
    std::map<std::string, Entry> entries;
  };
  void Load();
  // Reads the lines `from` to `to` of one scope; false when they are
  // damaged. `stale`: a file they came from has changed since.
  static bool ReadScope(const std::vector<std::string_view>& lines, size_t from, size_t to, Scope& scope, bool& stale,
                        uint64_t& clock);
  void ReadOtherScopes();
  Scope& Mine() { return scopes_[scope_]; }
  Entry* Find(const std::string& key);
  Entry& Touch(const std::string& key, const std::vector<std::string>& dependencies);
  void Evict();
  std::string Text() const;

  bool loaded_ = false, dirty_ = false;
  uint64_t clock_ = 0;
  std::string path_, scopeExtra_;
  std::string scope_;  // this run's environment and scope, set on loading
  std::map<std::string, Scope> scopes_;
  // Other settings' decisions as the file holds them, read only when the
  // file is written again.
  std::map<std::string, std::string> unread_;
};

// $XDG_CACHE_HOME/glyphor/face-matches (default ~/.cache/glyphor/...); empty
// when GLYPHOR_NO_FACE_CACHE is set, or there is no usable home: the folder
// the cache folder would be made in must exist.
std::string DefaultFaceCachePath();

}  // namespace glyphor
