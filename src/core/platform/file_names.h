// SPDX-License-Identifier: MIT
// The parts of a file path as the program names them.
#pragma once

#include <string>

namespace glyphor {

// Everything before the last "/": "/" for a file in the root, "." for a bare name.
std::string FolderOf(const std::string& path);
// The file name's extension from its last "." (the dot included), ASCII
// letters lower-cased; empty when the name has none.
std::string LowerExtension(const std::string& path);
// `path` with its file name's extension replaced by `extension` (".svg"), or
// with `extension` appended when it has none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

}  // namespace glyphor
