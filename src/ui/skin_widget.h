// Base of the skinned controls: double-buffered painting.
//
// A control paints into a memory picture of its client size and copies it to
// the screen in one block; the platform never erases the background.
#pragma once

#include <QImage>
#include <QWidget>

namespace tolvane::ui {

class SkinWidget : public QWidget {
  Q_OBJECT
 public:
  explicit SkinWidget(QWidget* parent = nullptr, Qt::WindowFlags f = {});
  // Paints the control into a picture of its size (what a repaint shows).
  QImage Render();
  // Paints the control into the memory picture with `ratio` device pixels
  // per pixel (the screen's scaling) and returns it; the picture is shared
  // by all controls and valid until the next control paints.
  const QImage& PaintScaled(qreal ratio);

 protected:
  // Draws the whole client area; called with a painter on the memory picture.
  virtual void PaintBuffer(QPainter& p) = 0;
  void paintEvent(QPaintEvent* e) override;

 private:
  QImage buffer_;  // this control's view of the shared memory picture
};

}  // namespace tolvane::ui
