// SPDX-License-Identifier: MIT
// How the core tells the user something: the batch run prints to standard
// error, the window shows message boxes.
#pragma once

#include <string>

namespace glyphor {

class TUserMessages {
 public:
  virtual ~TUserMessages() = default;
  // A plain message: no icon, one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace glyphor
