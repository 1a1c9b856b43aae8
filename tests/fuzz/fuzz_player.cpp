// SPDX-License-Identifier: MIT
#include <cstdlib>

#include <QGuiApplication>

#include "fuzz/player_inputs.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Fonts and painting need the application object; no display is needed.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  glyphor::fuzz::PlayerInput(data, size);
  return 0;
}
