// Whether a display exists to show a window or a message box on. Probed
// without loading any GUI library.
#pragma once

#include <string>

namespace glyphor {

// DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool DisplayConfigured();

// True when an X server answers at $DISPLAY ("[host]:N[.S]", local socket
// or TCP port 6000 + N).
bool XDisplayAnswers(const std::string& display);

// True when a Wayland compositor's socket exists for $WAYLAND_DISPLAY
// (relative names are looked up in $XDG_RUNTIME_DIR).
bool WaylandSocketExists(const std::string& waylandDisplay, const std::string& runtimeDir);

}  // namespace glyphor
