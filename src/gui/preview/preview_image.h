// The preview bitmap: the metafile picture played at the screen's real size.
#pragma once

#include <cstdint>

#include <QImage>

#include "core/output/metafile_picture.h"

namespace glyphor {

// Preview size in pixels: the frame (0.01 mm) times `screenPpi` div 2540,
// the product formed in 64 bits, the quotient truncated.
struct PreviewExtent {
  int64_t Width = 0;
  int64_t Height = 0;
};
PreviewExtent PreviewSize(const MetafilePicture& pic, int screenPpi);

// A white QImage::Format_RGB32 image of PreviewSize with the picture played
// (aliased, as on the platform) so that its frame fills the image. A null
// image when a side is 0 or less. Throws EOutOfResources when the image is too large to make.
// A metafile the player refuses leaves the image white.
QImage RenderPreview(const MetafilePicture& pic, int screenPpi);

}  // namespace glyphor
