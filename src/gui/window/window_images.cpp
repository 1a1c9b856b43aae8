// SPDX-License-Identifier: MIT
#include "gui/window/window_images.h"

#include <exception>

#include <QPainter>

namespace glyphor {

QImage MakeTitleGradient() {
  QImage img(1, 128, QImage::Format_RGB32);
  for (int y = 0; y < 128; ++y) {
    const double t = y / 127.0;
    img.setPixel(0, y, qRgb(qRound(204 * (1 - t)), qRound(204 * (1 - t)), qRound(255 - 102 * t)));
  }
  return img;
}

namespace {

// The preview is drawn on white, and only the black outline borders the
// white: grey pixels are the outline's antialiased edge, so they become
// black with the matching opacity and the rest of the white disappears.
QImage LiftOffWhite(const QImage& picture) {
  QImage img = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const int r = qRed(row[x]);
      if (r == qGreen(row[x]) && r == qBlue(row[x])) row[x] = qRgba(0, 0, 0, 255 - r);
    }
  }
  return img;
}

ConversionSettings SampleSettings() {
  ConversionSettings s;
  s.Text = "袋文字";
  s.Font.Color = 0x0000FF;  // red
  s.StrokeColor = 0x000000;
  s.StrokeWidth = 400;
  s.Fukuromoji = true;
  s.LineJoin = 1;
  return s;
}

}  // namespace

QPixmap MakeFukuromojiSample(TFormServices& services, int screenPpi, qreal devicePixelRatio) {
  try {
    MetafilePicture picture;
    services.BuildPicture(picture, SampleSettings(), screenPpi);
    const QImage letters = services.RenderPreview(picture, qRound(screenPpi * devicePixelRatio));
    if (letters.isNull()) return {};
    QImage sample(qRound(80 * devicePixelRatio), qRound(35 * devicePixelRatio), QImage::Format_RGB32);
    sample.fill(Qt::green);
    const QImage fitted = LiftOffWhite(letters).scaled(sample.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter p(&sample);
    p.drawImage((sample.width() - fitted.width()) / 2, (sample.height() - fitted.height()) / 2, fitted);
    p.end();
    sample.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(sample);
  } catch (const std::exception&) {
    return {};  // the box then has no caption picture, which harms nothing
  }
}

}  // namespace glyphor
