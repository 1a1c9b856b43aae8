// SPDX-License-Identifier: MIT
// The cut-ready writers of the geometry library, for the programs that link
// it (the window module, tests, benchmarks); the command-line program loads
// the same code as its cut module instead.
#pragma once

namespace glyphor {

// Installs them for cut_writers.h.
void InstallLinkedCutWriters();

}  // namespace glyphor
