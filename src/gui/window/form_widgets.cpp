// SPDX-License-Identifier: MIT
#include "gui/window/form_widgets.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QToolButton>

#include "gui/preview/preview_image.h"

namespace glyphor {

TPreviewImage::TPreviewImage(QWidget* parent) : QWidget(parent) {
  // Every exposed pixel is painted: the picture, or the white page it lies on.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TPreviewImage::~TPreviewImage() = default;

void TPreviewImage::SetPicture(std::unique_ptr<PreviewPicture> picture, qreal ratio) {
  picture_ = std::move(picture);
  ratio_ = ratio > 0 ? ratio : 1;
  if (picture_) resize((QSizeF(picture_->Size()) / ratio_).toSize());
  update();
}

void TPreviewImage::Clear() {
  picture_.reset();
  update();
}

QImage TPreviewImage::Shown() const {
  if (!picture_) return QImage();
  QImage image = picture_->Render(QRect(QPoint(0, 0), picture_->Size()));
  image.setDevicePixelRatio(ratio_);
  return image;
}

void TPreviewImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!picture_) {
    painter.fillRect(event->rect(), Qt::white);  // the scroll area's white page
    return;
  }
  const QRect pixels(QPoint(0, 0), picture_->Size());
  for (const QRect& exposed : event->region()) {
    // The device pixels under the exposed part, whole ones; past the
    // picture (a widget rounded up to whole pixels) the page is white.
    const QRect device =
        QRectF(exposed.x() * ratio_, exposed.y() * ratio_, exposed.width() * ratio_, exposed.height() * ratio_)
            .toAlignedRect();
    const QRect area = device & pixels;
    if (area != device) painter.fillRect(exposed, Qt::white);
    if (area.isEmpty()) continue;
    QImage tile = picture_->Render(area);
    tile.setDevicePixelRatio(ratio_);
    painter.drawImage(QPointF(area.x() / ratio_, area.y() / ratio_), tile);
  }
}

void TClickLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click) emit clicked();
}

// Every line gets an outline in the text colour on top of its own format,
// whatever was typed, pasted or set.
class TMemo::Emboldener : public QSyntaxHighlighter {
 public:
  explicit Emboldener(TMemo* memo) : QSyntaxHighlighter(memo->document()), memo_(memo) {}

 protected:
  void highlightBlock(const QString& text) override {
    if (memo_->boldPixels_ <= 0 || text.isEmpty()) return;
    QTextCharFormat format;
    format.setTextOutline(
        QPen(memo_->palette().color(QPalette::Text), memo_->boldPixels_, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    setFormat(0, static_cast<int>(text.size()), format);
  }

 private:
  TMemo* memo_;
};

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent), emboldener_(new Emboldener(this)) { setTabChangesFocus(true); }

void TMemo::SetSyntheticBold(qreal pixels) {
  if (pixels == boldPixels_) return;
  boldPixels_ = pixels;
  emboldener_->rehighlight();
}

void TMemo::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && boldPixels_ > 0) emboldener_->rehighlight();
}

void TMemo::insertFromMimeData(const QMimeData* source) {
  if (!source->hasText() || !source->text().contains(u'\t')) {
    QPlainTextEdit::insertFromMimeData(source);
    return;
  }
  QMimeData plain;
  plain.setText(QString(source->text()).remove(u'\t'));
  QPlainTextEdit::insertFromMimeData(&plain);
}

void TMemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->ignore();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

TUpDown::TUpDown(int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), min_(minimum), max_(maximum), position_(position) {
  setFocusPolicy(Qt::TabFocus);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

void TUpDown::SetPosition(int position) { position_ = std::clamp(position, min_, max_); }

void TUpDown::SetBuddy(QLineEdit* edit) { edit->installEventFilter(this); }

void TUpDown::Step(int delta) {
  const int next = std::clamp(position_ + delta, min_, max_);
  if (next != position_) emit stepRequested(next);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
    Step(event->key() == Qt::Key_Up ? 1 : -1);
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace glyphor
