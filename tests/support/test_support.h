// Helpers shared by the tests: outline paths as strings, temporary folders,
// whole files as bytes, and running the built program.
#pragma once

#include <string>
#include <vector>

#include "core/path_record.h"

namespace glyphor::test {

// "M0,0 L400,0 L400,400 L0,400 z" - one letter a point kind (C once for each
// run of three Bezier points), "z" after a point with the close flag.
std::string PathToString(const TPath& path);

// Hand-made paths shared by the writers' tests: the worked example's square
// "M0,0 L400,0 L400,400 L0,400 z", and the triangle "M10,30 L100,30 L100,200 z".
TPath SquarePath();
TPath TrianglePath();

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);  // the whole file as bytes; "" when missing
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& path);  // names, sorted

struct RunResult {
  int exitCode = -1;  // -1 with signal set when the program died of a signal
  int signal = 0;
  bool timedOut = false;  // killed (SIGKILL) after the time allowed
  std::string out, err;
};
// Runs the built program with `args`, the environment `env` ("NAME=value",
// added to a clean environment holding PATH, LC_ALL and the sanitizers'
// options) and stdin closed; kills it
// when it has not ended after `timeoutSeconds`.
RunResult RunGlyphor(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                     int timeoutSeconds = 60);

}  // namespace glyphor::test
