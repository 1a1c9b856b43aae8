// The program's front end: batch conversion of a ".gly" file, or the window.
#pragma once

#include <string>
#include <vector>

namespace glyphor {

// Exit statuses of a batch run.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

int RunProgram(int argc, char** argv);

// Converts the settings file `glyPath` to the SVG beside it. Messages go to
// standard error (and to a message box when a display exists).
int RunBatch(const std::string& glyPath);

// The output path of a batch run: the argument's extension replaced by ".svg".
std::string BatchOutputPath(const std::string& glyPath);

}  // namespace glyphor
