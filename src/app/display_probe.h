// SPDX-License-Identifier: MIT
// Whether a display exists to show a window or a message box on. Probed
// without loading any GUI library: Qt aborts the whole process when its
// platform cannot connect, so the program asks first.
#pragma once

#include <string>

namespace glyphor {

// What the program says when a window is asked for and no display takes it.
inline constexpr char kNoDisplayMessage[] = "ウィンドウを表示できません: ディスプレイがありません";

// DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool DisplayConfigured();

// True when the X server at `display` ("[host]:N[.S]") accepts a connection
// from us, authorization included: a real handshake through libxcb (loaded
// when asked; the library Qt's X platform uses), not just an open socket.
bool XDisplayAnswers(const std::string& display);

// True when a Wayland compositor accepts a connection on the socket of
// $WAYLAND_DISPLAY (relative names are looked up in $XDG_RUNTIME_DIR).
bool WaylandDisplayAnswers(const std::string& waylandDisplay, const std::string& runtimeDir);

}  // namespace glyphor
