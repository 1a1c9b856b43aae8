// SPDX-License-Identifier: MIT
// The metafile picture on the clipboard.
#pragma once

#include <cstdint>
#include <vector>

class QMimeData;

namespace glyphor {

// A new QMimeData holding `emf` under each EMF MIME name and nothing else.
QMimeData* MetafileMimeData(const std::vector<uint8_t>& emf);

// Replaces the clipboard's content with the metafile only. Throws EFileError
// "クリップボードを開くことができません" when there is no usable clipboard.
void PutMetafileOnClipboard(const std::vector<uint8_t>& emf);

}  // namespace glyphor
