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
  // Straight into the window's own memory picture (the platform's backing
  // store, at the screen's pixels: text and pictures are drawn at the
  // screen's resolution, never enlarged), clipped to what needs repainting.
  // It reaches the screen in one block once every control has painted.
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(rect(), Qt::black);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  PaintBuffer(p);
}

}  // namespace tolvane::ui
