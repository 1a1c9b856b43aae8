// SPDX-License-Identifier: MIT
// The window module (window_module.h), opened with dlopen only when a window
// or a message box is needed, so that batch runs never load a GUI library.
#pragma once

#include <string>

namespace glyphor {

// Runs the window; its exit status. Fails with a message on standard error
// when there is no display or the module cannot be loaded.
int RunWindowModule(int argc, char** argv);

// Shows a message box through the module (error: the error icon); false
// when no box could be shown (no display, no module).
bool ShowMessageBox(const std::string& text, bool error);

}  // namespace glyphor
