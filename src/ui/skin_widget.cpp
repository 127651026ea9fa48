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

const QImage& SkinWidget::PaintScaled(qreal ratio) {
  // The picture has the screen's pixels: on a scaled screen the text and the
  // pictures are drawn once at the screen's resolution, not drawn small and
  // then enlarged with the whole picture.
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (buffer_.size() != pixels || buffer_.devicePixelRatio() != ratio) {
    buffer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    buffer_.setDevicePixelRatio(ratio);
  }
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
