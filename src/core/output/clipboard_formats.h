// SPDX-License-Identifier: MIT
// The clipboard entries of a copied metafile picture: the EMF bytes under
// each of these MIME names, in this order, and nothing else. LibreOffice
// pastes only the first (it matches that exact flavour string); Inkscape asks
// for image/x-emf.
#pragma once

#include <array>
#include <string_view>

namespace glyphor {

inline constexpr std::array<std::string_view, 3> EmfClipboardMimeTypes = {
    "application/x-openoffice-emf;windows_formatname=\"Image EMF\"",
    "image/x-emf",
    "image/emf",
};

}  // namespace glyphor
