// Base of the skinned controls: double-buffered painting.
//
// A control paints into the window's memory picture (Qt's backing store),
// which reaches the screen in one block; the platform never erases the
// background.
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

 protected:
  // Draws the whole client area, on black; called with a painter on the
  // memory picture.
  virtual void PaintBuffer(QPainter& p) = 0;
  void paintEvent(QPaintEvent* e) override;
};

}  // namespace tolvane::ui
