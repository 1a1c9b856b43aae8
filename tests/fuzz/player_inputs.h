// SPDX-License-Identifier: MIT
// The player's fuzz input, shared by the libFuzzer target and the replay of
// its corpus: arbitrary bytes played as a metafile and converted to a WMF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QImage>
#include <QPainter>

#include "fuzz/fuzz_inputs.h"
#include "gui/preview/preview_player.h"

namespace glyphor::fuzz {

inline void PlayerInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> emf(data, data + size);
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size % 2 == 0);
    const PlayResult r = PlayMetafile(emf, painter, image.rect());
    if (r.Ok != r.Error.empty()) __builtin_trap();  // a rejection always says why
  }
  WmfInput(data, size);
}

}  // namespace glyphor::fuzz
