// SPDX-License-Identifier: MIT
// The program's front end: reads the command line and runs the batch
// conversion or the window.
#pragma once

namespace glyphor {

// The whole program; returns its exit status.
int RunProgram(int argc, char** argv);

}  // namespace glyphor
