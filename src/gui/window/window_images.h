// SPDX-License-Identifier: MIT
// The two pictures of the main window: the title panel's gradient and the
// fukuromoji sample that serves as the two-layer box's caption.
#pragma once

#include <QImage>
#include <QPixmap>

#include "gui/window/form_services.h"

namespace glyphor {

// 1 x 128 pixels, RGB(204, 204, 255) at the top to RGB(0, 0, 153) at the bottom.
QImage MakeTitleGradient();

// 80 x 35 pixels: "袋文字" as two-layer letters, red with a thick black outline,
// drawn by the program's own capture, recorder and player and fitted on
// lime. Drawn at `devicePixelRatio` device pixels per pixel, so it stays sharp
// on a scaled screen. A null pixmap when any step fails.
QPixmap MakeFukuromojiSample(TFormServices& services, int screenPpi, qreal devicePixelRatio = 1);

}  // namespace glyphor
