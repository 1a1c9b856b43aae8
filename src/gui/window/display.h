// SPDX-License-Identifier: MIT
// Whether a window can be shown at all. Qt aborts the process when its
// platform plugin cannot reach a display, so the program looks first.
#pragma once

namespace glyphor {

// Whether Qt can open its platform without aborting: an explicit
// QT_QPA_PLATFORM when one of its entries can open; else X when its server
// accepts our connection (authorization included), else Wayland when its
// compositor accepts one and Qt's plugin for it is installed
// (QT_QPA_PLATFORM is then set to it). False when there is none. Asked
// before any Qt object exists.
bool PrepareDisplay();

// True when the platform in use shows nothing to anybody (offscreen, minimal).
bool HeadlessPlatform();

}  // namespace glyphor
