#include "ui/skin_widget.h"

#include <QPaintEvent>
#include <QPainter>

namespace tolvane::ui {

SkinWidget::SkinWidget(QWidget* parent, Qt::WindowFlags f) : QWidget(parent, f) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

QImage SkinWidget::Render() {
  QImage img(size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  PaintBuffer(p);
  return img;
}

namespace {
// The memory picture every control paints into: controls paint one after
// another on the window's thread and each copies its picture to the screen
// before the next one paints, so one picture of the largest size serves all
// (a page of the window's size would otherwise keep its own for good).
QImage& SharedBuffer() {
  static QImage buffer;
  return buffer;
}
}  // namespace

const QImage& SkinWidget::PaintScaled(qreal ratio) {
  // The picture has the screen's pixels: on a scaled screen the text and the
  // pictures are drawn once at the screen's resolution, not drawn small and
  // then enlarged with the whole picture.
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  QImage& shared = SharedBuffer();
  if (shared.width() < pixels.width() || shared.height() < pixels.height())
    shared = QImage(pixels.expandedTo(shared.size()), QImage::Format_ARGB32_Premultiplied);
  // This control's part of it (the shared picture's rows keep their length).
  buffer_ = QImage(shared.bits(), pixels.width(), pixels.height(), shared.bytesPerLine(),
                   QImage::Format_ARGB32_Premultiplied);
  buffer_.setDevicePixelRatio(ratio);
  buffer_.fill(Qt::black);
  QPainter mem(&buffer_);
  PaintBuffer(mem);
  return buffer_;
}

void SkinWidget::paintEvent(QPaintEvent*) {
  if (width() <= 0 || height() <= 0) return;
  const QImage& shown = PaintScaled(devicePixelRatioF());
  QPainter screen(this);
  screen.setCompositionMode(QPainter::CompositionMode_Source);
  screen.drawImage(0, 0, shown);
}

}  // namespace tolvane::ui
