// SPDX-License-Identifier: MIT
// The program's entry: a batch conversion when given a settings file, the
// window otherwise. The batch path never loads a GUI library.
#include "app/front_end.h"

int main(int argc, char** argv) { return glyphor::RunProgram(argc, argv); }
