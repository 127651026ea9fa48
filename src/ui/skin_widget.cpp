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

void SkinWidget::paintEvent(QPaintEvent*) {
  if (width() <= 0 || height() <= 0) return;
  if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
  {
    buffer_.fill(Qt::black);
    QPainter mem(&buffer_);
    PaintBuffer(mem);
  }
  QPainter screen(this);
  screen.setCompositionMode(QPainter::CompositionMode_Source);
  screen.drawImage(0, 0, buffer_);
}

}  // namespace tolvane::ui
