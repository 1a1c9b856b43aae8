// The program's usage texts.
#pragma once

namespace glyphor {

inline constexpr const char* kUsageLine = "使い方: glyphor [FILE.gly]";

// Exit statuses of a batch run.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

}  // namespace glyphor
