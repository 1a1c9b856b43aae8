// SPDX-License-Identifier: MIT
// The program's usage texts.
#pragma once

namespace glyphor {

// The classic form: no argument (the window) or one settings file.
inline constexpr const char* kUsageLine = "使い方: glyphor [FILE.gly]";
// The option form, after a usage error.
inline constexpr const char* kOptionUsageLine =
    "使い方: glyphor [オプション] [FILE.gly ...]  (詳しくは glyphor --help)";

// Exit statuses of a batch run.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

}  // namespace glyphor
