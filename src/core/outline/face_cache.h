// Which font file fontconfig chose for each font request, kept between runs
// so that a batch conversion need not parse fontconfig's whole configuration
// (most of a conversion's time). An entry is trusted only while every
// configuration file, font folder and setting it came from is unchanged.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace glyphor {

struct FaceLocation {
  std::string file;
  int index = 0;
};

class FaceMatchCache {
 public:
  // `path` is the cache file; an empty path keeps nothing.
  explicit FaceMatchCache(std::string path) : path_(std::move(path)) {}

  // The face recorded for `key`, when the record is still valid.
  std::optional<FaceLocation> Lookup(const std::string& key);
  // Records a match, with the files and folders its configuration came from,
  // and saves the cache (failures to save are ignored: it is only a cache).
  void Store(const std::string& key, const FaceLocation& face, const std::vector<std::string>& dependencies);

 private:
  void Load();
  bool loaded_ = false;
  std::string path_;
  std::vector<std::string> deps_;
  std::map<std::string, FaceLocation> faces_;
};

// $XDG_CACHE_HOME/glyphor/face-matches (default ~/.cache/glyphor/...); empty
// when there is no home, or GLYPHOR_NO_FACE_CACHE is set.
std::string DefaultFaceCachePath();

}  // namespace glyphor
