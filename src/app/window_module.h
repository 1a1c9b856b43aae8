// SPDX-License-Identifier: MIT
// The contract between the program and its window module, a shared object
// loaded with dlopen only when a window or a message box is needed, so that
// batch runs never load a GUI library.
#pragma once

// File name of the module, looked for in the executable's folder and in
// the installed module folder <exe dir>/../<libdir>/glyphor.
#define GLYPHOR_WINDOW_MODULE "libglyphor_window.so"

extern "C" {
// Runs the interactive program; returns its exit status.
typedef int (*glyphor_window_main_fn)(int argc, char** argv);
#define GLYPHOR_WINDOW_MAIN "glyphor_window_main"

// Shows a message box (error != 0: the error icon) with the program's
// caption; returns 0 when it could not show one (no display).
typedef int (*glyphor_show_message_fn)(const char* utf8_text, int error);
#define GLYPHOR_SHOW_MESSAGE "glyphor_show_message"
}
