// SPDX-License-Identifier: MIT
// Reading and writing freedesktop.org desktop entry key files
// (.desktop entries, mimeapps.list): groups, string escapes, lists and the
// quoting of Exec.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace glyphor {

// group name -> key -> raw value (escapes kept); a later duplicate key wins.
using TKeyFile = std::map<std::string, std::map<std::string, std::string>>;

// The groups of a key file; empty when it cannot be read, is no regular
// file or is larger than any real one (1 MiB).
TKeyFile ReadKeyFile(const std::string& path);
// The raw value of group/key, or empty.
std::string KeyValue(const TKeyFile& file, const std::string& group, const std::string& key);

// A string value with \s \n \t \r \\ resolved.
std::string UnescapeString(const std::string& raw);
// A text made fit for a string value: the reverse of UnescapeString.
std::string EscapeString(const std::string& text);
// The items of a ";" list value ("\;" stands for a literal ";"), unescaped,
// empty items dropped.
std::vector<std::string> SplitList(const std::string& raw);

// One argument of an Exec value as runs of text, each marked with whether
// it stood inside quotes (where a field code meets a shell, as in
// sh -c "view %f").
struct TExecPiece {
  std::string text;
  bool quoted;
};
using TExecArgument = std::vector<TExecPiece>;

// An Exec value (already string-unescaped) split into its arguments:
// blanks separate, "..." groups with \" \` \$ \\ escapes, '...' groups
// literally, a backslash outside quotes takes the next character. Empty
// when a quote is not closed.
std::vector<TExecArgument> ParseExec(const std::string& exec);
// The same with each argument's pieces joined.
std::vector<std::string> SplitExec(const std::string& exec);
// One argument for an Exec value before string escaping: double-quoted with
// " ` $ \ escaped, and "%" doubled so it is no field code.
std::string QuoteExecArgument(const std::string& arg);

}  // namespace glyphor
