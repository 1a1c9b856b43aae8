// SPDX-License-Identifier: MIT
// The colour dialog of the stroke and fill choices.
#pragma once

#include <QColor>

class QWidget;

namespace glyphor {

// Qt's own colour dialog on `color`; on OK `color` becomes the choice. Its
// sixteen custom colours start white, last for the run and are shared by
// every call; they are not saved.
bool ChooseColorDialog(QWidget* parent, QColor& color);

}  // namespace glyphor
