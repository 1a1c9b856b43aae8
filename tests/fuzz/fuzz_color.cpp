// SPDX-License-Identifier: MIT
#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  glyphor::fuzz::ColorInput(data, size);
  return 0;
}
