// Faces that the program's texts and settings files name, mapped to the
// metric-compatible fonts of Debian for the window's own text.
#pragma once

namespace glyphor {

// Adds the mappings to Qt's font substitution table (once per process).
void InstallFontSubstitutes();

}  // namespace glyphor
