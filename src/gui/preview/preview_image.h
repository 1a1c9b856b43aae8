// SPDX-License-Identifier: MIT
// The preview bitmap: the metafile picture played at the screen's real size.
#pragma once

#include <cstdint>

#include <QImage>
#include <QRect>

#include "core/output/metafile_picture.h"
#include "gui/preview/preview_player.h"

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

// The same preview made part by part, as a window shows it: the picture is
// read once, and each rectangle asked for comes out with the pixels the
// whole image has there. A wide line of text costs only what is visible.
class PreviewPicture {
 public:
  // Nothing to show (IsNull) when a side is 0 or less; throws
  // EOutOfResources where RenderPreview would. A metafile the player
  // refuses shows white.
  PreviewPicture(const MetafilePicture& pic, int screenPpi);
  bool IsNull() const { return scene_.Size().isEmpty(); }
  QSize Size() const { return scene_.Size(); }
  // The pixels of `area` of the image (Format_RGB32, area's size).
  QImage Render(QRect area);

 private:
  MetafileScene scene_;
};

}  // namespace glyphor
