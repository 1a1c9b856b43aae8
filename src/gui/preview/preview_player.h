// SPDX-License-Identifier: MIT
// The program's own player for the enhanced metafiles ([MS-EMF]) that its
// recorder writes: no library on Linux plays them into pixels correctly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace glyphor {

struct PlayResult {
  bool Ok = true;
  std::string Error;  // why the metafile was rejected (English, for logs and tests)
};

// Plays `emf` onto `painter` so that the corners of the picture's frame land
// on the corners of `target` (painter coordinates). The whole metafile is
// checked before anything is drawn: a malformed one draws nothing and gives
// Ok false. Records the player does not know are skipped. The painter's state
// is restored; its render hints (antialiasing) are the caller's choice.
PlayResult PlayMetafile(const std::vector<uint8_t>& emf, QPainter& painter, QRect target);

// The same onto the whole of `image`, aliased, with pixels exactly as
// PlayMetafile gives them. With `threads` 2, a wide picture is drawn by two
// threads, each into its own bands of the image's pixels.
PlayResult PlayMetafileOnImage(const std::vector<uint8_t>& emf, QImage& image, int threads);

// A metafile read and checked once, for an image of a given size, that then
// paints any rectangle of that image on request: the pixels PlayMetafileOnImage
// gives there on the whole image, so a window can draw only what it shows.
class MetafileScene {
 public:
  MetafileScene();
  ~MetafileScene();
  MetafileScene(MetafileScene&&) noexcept;
  MetafileScene& operator=(MetafileScene&&) noexcept;

  // Reads `emf` for an image of `size`. A malformed metafile gives Ok false
  // and a scene that paints nothing.
  PlayResult Read(const std::vector<uint8_t>& emf, QSize size);
  QSize Size() const { return size_; }
  // Paints the rectangle of the image at `origin` of `tile`'s size onto
  // `tile`, over what it holds.
  void Paint(QImage& tile, QPoint origin);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  QSize size_;
};

}  // namespace glyphor
