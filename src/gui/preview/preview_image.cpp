// SPDX-License-Identifier: MIT
#include "gui/preview/preview_image.h"

#include <climits>
#include <thread>

#include <QtGlobal>

#include "core/platform/errors.h"
#include "gui/preview/preview_player.h"

namespace glyphor {
namespace {

// Beyond this many pixels (1 GiB at 32 bits a pixel) the preview is refused
// before the allocation is tried: a failed huge allocation may not fail
// cleanly on an overcommitting system.
constexpr int64_t kMaxPreviewPixels = int64_t(1) << 28;

// The image's size; empty when a side is 0 or less. Throws EOutOfResources
// when too large.
QSize CheckedSize(const MetafilePicture& pic, int screenPpi) {
  PreviewExtent size = PreviewSize(pic, screenPpi);
  if (size.Width <= 0 || size.Height <= 0) return QSize();
  if (size.Width > INT_MAX || size.Height > INT_MAX || size.Width * size.Height > kMaxPreviewPixels)
    throw EOutOfResources();
  return QSize(int(size.Width), int(size.Height));
}

}  // namespace

PreviewExtent PreviewSize(const MetafilePicture& pic, int screenPpi) {
  return {int64_t(pic.FrameWidth) * screenPpi / 2540, int64_t(pic.FrameHeight) * screenPpi / 2540};
}

QImage RenderPreview(const MetafilePicture& pic, int screenPpi) {
  const QSize size = CheckedSize(pic, screenPpi);
  if (size.isEmpty()) return QImage();
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) throw EOutOfResources();
  image.fill(Qt::white);
  // Not antialiased (the image player's painters are not): the platform's
  // playback is not either, and a long line of text would take several
  // times longer.
  // A second thread pays only where a core is likely to be free for it: with
  // two, the window's own work and the system's often hold the other, and
  // waiting for a held-back thread costs more than it saves.
  const int threads = std::thread::hardware_concurrency() > 2 ? 2 : 1;
  PlayResult played = PlayMetafileOnImage(pic.Bytes, image, threads);
  if (!played.Ok) qWarning("glyphor: preview not drawn: %s", played.Error.c_str());
  return image;
}

PreviewPicture::PreviewPicture(const MetafilePicture& pic, int screenPpi) {
  const QSize size = CheckedSize(pic, screenPpi);
  if (size.isEmpty()) return;
  PlayResult read = scene_.Read(pic.Bytes, size);
  if (!read.Ok) qWarning("glyphor: preview not drawn: %s", read.Error.c_str());
}

QImage PreviewPicture::Render(QRect area) {
  QImage tile(area.size(), QImage::Format_RGB32);
  if (tile.isNull()) return tile;
  tile.fill(Qt::white);
  scene_.Paint(tile, area.topLeft());
  return tile;
}

}  // namespace glyphor
