// SPDX-License-Identifier: MIT
// Helpers shared by the tests: temporary folders, whole files as bytes, and
// running the built program.
#pragma once

#include <string>
#include <vector>

namespace glyphor::test {

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

// The environment of a user whose home is `home`, with every XDG folder in
// it (nothing installed there) and the face cache in `cache`.
std::vector<std::string> UserEnvironment(const TempDir& home, const TempDir& cache);

// `utf8` in another encoding (an iconv name such as "CP932"), converted by
// iconv rather than by the code under test. Throws when it cannot be.
std::string Encode(const std::string& utf8, const char* to);

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

// How else the program is started.
struct RunOptions {
  std::string program;          // a copy of the program elsewhere; the built one when empty
  std::string input;            // the bytes standard input holds (a file)
  std::string workDir;          // the current folder; the test's own when empty
  bool stderrTerminal = false;  // standard error is a pseudo-terminal; `err` is what it showed
  int timeoutSeconds = 60;
  // A file size limit (RLIMIT_FSIZE, as `ulimit -f` sets it) in bytes; 0 for
  // none. Writes beyond it fail with EFBIG, or, with fileSizeSignalEnds,
  // raise SIGXFSZ with its default action (no core file is dumped).
  long long fileSizeLimit = 0;
  bool fileSizeSignalEnds = false;
};
RunResult RunGlyphor(const std::vector<std::string>& args, const std::vector<std::string>& env,
                     const RunOptions& options);

}  // namespace glyphor::test
