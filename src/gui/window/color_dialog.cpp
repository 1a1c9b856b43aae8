// SPDX-License-Identifier: MIT
#include "gui/window/color_dialog.h"

#include <array>

#include <QColorDialog>

namespace glyphor {

namespace {

// Qt keeps the custom colours in one process-wide table that it loads from
// and saves to the user's QtProject settings. The run's own colours live
// here; the table holds them only while a dialog is open and gets the
// loaded values back before the dialog goes, so those are what Qt saves.
class CustomColors {
 public:
  CustomColors() { ours_.fill(QColor(Qt::white)); }

  void Lend() {
    for (int i = 0; i < N; ++i) {
      saved_[i] = QColorDialog::customColor(i);
      QColorDialog::setCustomColor(i, ours_[i]);
    }
  }
  void TakeBack() {
    for (int i = 0; i < N; ++i) {
      ours_[i] = QColorDialog::customColor(i);
      QColorDialog::setCustomColor(i, saved_[i]);
    }
  }

 private:
  static constexpr int N = 16;
  std::array<QColor, N> ours_, saved_;
};

CustomColors& RunColors() {
  static CustomColors colors;
  return colors;
}

}  // namespace

bool ChooseColorDialog(QWidget* parent, QColor& color) {
  RunColors().Lend();
  bool accepted = false;
  {
    QColorDialog dialog(color, parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) color = dialog.selectedColor();
    RunColors().TakeBack();
  }
  return accepted;
}

}  // namespace glyphor
