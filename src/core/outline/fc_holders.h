// SPDX-License-Identifier: MIT
// Owners for fontconfig and FreeType objects, so every way out of a match
// releases what it made.
#pragma once

#include <memory>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace glyphor {

struct FcRelease {
  void operator()(FcConfig* c) const { FcConfigDestroy(c); }
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
  void operator()(FcStrList* l) const { FcStrListDone(l); }
};

using FcConfigHolder = std::unique_ptr<FcConfig, FcRelease>;
using FcPatternHolder = std::unique_ptr<FcPattern, FcRelease>;
using FcFontSetHolder = std::unique_ptr<FcFontSet, FcRelease>;
using FcStrListHolder = std::unique_ptr<FcStrList, FcRelease>;

struct FtLibraryRelease {
  void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
using FtLibraryHolder = std::unique_ptr<FT_LibraryRec_, FtLibraryRelease>;

}  // namespace glyphor
