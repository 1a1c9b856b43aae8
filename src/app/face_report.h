// SPDX-License-Identifier: MIT
// What the verbose report says about the faces a conversion draws with.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/outline/capture.h"

namespace glyphor {

// One line of the report; a warning when the face asked for was not found
// and another stood in for it.
struct FaceNote {
  std::string text;
  bool warning = false;
};

// The face the requested name resolved to, a warning when it had to be
// substituted, then each run of text with the face and file that drew it.
std::vector<FaceNote> DescribeFaces(const CaptureFaces& faces);

// Keeps the faces of the captures made while it lives (the last one), for a
// report; captures cost nothing extra when no recorder exists.
class FaceRecorder {
 public:
  FaceRecorder();
  ~FaceRecorder();
  FaceRecorder(const FaceRecorder&) = delete;
  FaceRecorder& operator=(const FaceRecorder&) = delete;

  const std::optional<CaptureFaces>& Last() const { return last_; }

 private:
  std::optional<CaptureFaces> last_;
};

}  // namespace glyphor
