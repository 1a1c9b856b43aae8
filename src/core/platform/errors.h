// SPDX-License-Identifier: MIT
// Exception classes of the program. Each carries its message text as the
// user sees it (UTF-8); the front ends print it or show it in a message box.
#pragma once

#include <stdexcept>
#include <string>

namespace glyphor {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EPathError : public Exception {
  using Exception::Exception;
};
class EConvertError : public Exception {
  using Exception::Exception;
};
class EIniFileException : public Exception {
  using Exception::Exception;
};
// File creation and stream failures of the writers ("ファイル %s を作成できません",
// "ストリームへの書き込みエラー").
class EFileError : public Exception {
  using Exception::Exception;
};
// Fonts that cannot be found or loaded, resources that run out.
class EFontError : public Exception {
  using Exception::Exception;
};
class EOutOfResources : public Exception {
 public:
  EOutOfResources() : Exception("システム リソースが足りません") {}
  using Exception::Exception;
};

// Replaces each "%s" of a message template with the next argument, in order.
std::string FormatMessage(const std::string& pattern, std::initializer_list<std::string> args);

}  // namespace glyphor
