// SPDX-License-Identifier: MIT
// Small controls the main window needs and Qt lacks: a label that reports
// clicks, a memo without line breaks from Enter, up-down arrows that step a
// number shown in a buddy edit, and the preview's picture.
#pragma once

#include <memory>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace glyphor {

class PreviewPicture;

// The preview's picture, painted part by part as the scroll area shows it:
// a slider step with a long text costs what is visible, not the whole line
// thousands of pixels wide. The widget's size is the picture's pixels over
// the device pixel ratio it was made for.
class TPreviewImage : public QWidget {
 public:
  explicit TPreviewImage(QWidget* parent = nullptr);
  ~TPreviewImage() override;

  // Shows `picture`, made at `ratio` device pixels a pixel; sized to it.
  void SetPicture(std::unique_ptr<PreviewPicture> picture, qreal ratio);
  // Shows nothing (the size stays).
  void Clear();
  bool IsEmpty() const { return !picture_; }
  // All the pixels shown, with the ratio set; a null image when empty.
  QImage Shown() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<PreviewPicture> picture_;
  qreal ratio_ = 1;
};

class TClickLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

// Enter inserts no line break; pasted text keeps the ones it holds. Tab and
// Shift+Tab move the focus, as in a one-line edit, and pasted or dropped text
// loses its tab characters: the outlines have no tab stops to show them.
class TMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit TMemo(QWidget* parent = nullptr);

  // Thickens the letters by `pixels` in the text colour (0: not at all), as
  // the outlines embolden a face that has no bold of its own.
  void SetSyntheticBold(qreal pixels);
  qreal SyntheticBold() const { return boldPixels_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void changeEvent(QEvent* event) override;

 private:
  class Emboldener;
  Emboldener* emboldener_;
  qreal boldPixels_ = 0;
};

// Vertical arrows beside a buddy edit. They only ask for a step; the owner
// decides the new position (range, no wrap-around) and sets it back.
class TUpDown : public QWidget {
  Q_OBJECT

 public:
  TUpDown(int minimum, int maximum, int position, QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetPosition(int position);  // no signal
  // The up and down keys step the arrows while `edit` has the focus.
  void SetBuddy(QLineEdit* edit);

 signals:
  void stepRequested(int newPosition);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);

  int min_, max_, position_;
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace glyphor
