// What the verbose report says about the faces a conversion draws with.
#pragma once

#include <string>
#include <vector>

#include "core/settings/settings_model.h"

namespace glyphor {

// One line of the report; a warning when the face asked for was not found
// and another stood in for it.
struct FaceNote {
  std::string text;
  bool warning = false;
};

// The faces that draw the text of `s`.
std::vector<FaceNote> DescribeFaces(const ConversionSettings& s);

}  // namespace glyphor
