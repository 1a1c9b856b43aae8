// SPDX-License-Identifier: MIT
#include "core/platform/file_names.h"

#include "core/text/ascii_case.h"

namespace glyphor {

namespace {

// Position of the file name's last ".", or npos when the name has none.
size_t ExtensionDot(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  return dot;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LowerExtension(const std::string& path) {
  const size_t dot = ExtensionDot(path);
  if (dot == std::string::npos) return {};
  return LowerAscii(std::string_view(path).substr(dot));
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const size_t dot = ExtensionDot(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

}  // namespace glyphor
