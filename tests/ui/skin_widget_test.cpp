// The skinned controls paint at the screen's scaling, on black.
#include <gtest/gtest.h>

#include <QPainter>

#include "ui/skin_widget.h"

namespace tolvane::ui {
namespace {

class HalfPixel : public SkinWidget {
 protected:
  void PaintBuffer(QPainter& p) override {
    p.fillRect(rect(), Qt::white);
    p.fillRect(QRectF(0.5, 0, 0.5, 0.5), Qt::red);  // a quarter of the control's first pixel
  }
};

TEST(SkinWidgetPaint, IsAtTheScreensPixelsNotEnlargedAfterwards) {
  HalfPixel w;
  w.resize(40, 20);
  // What a screen scaled twice gets: a memory picture of its pixels.
  QImage screen(QSize(80, 40), QImage::Format_ARGB32_Premultiplied);
  screen.setDevicePixelRatio(2.0);
  screen.fill(Qt::green);
  w.render(&screen);
  // Drawn at the screen's pixels, the quarter is one of them; drawn at the
  // control's and enlarged, it would be all four or none.
  EXPECT_EQ(QColor(screen.pixel(1, 0)), QColor(Qt::red));
  EXPECT_EQ(QColor(screen.pixel(0, 0)), QColor(Qt::white));
  EXPECT_EQ(QColor(screen.pixel(1, 1)), QColor(Qt::white));
  EXPECT_EQ(QColor(screen.pixel(79, 39)), QColor(Qt::white));
}

class Filled : public SkinWidget {
 public:
  explicit Filled(QColor c) : colour(c) {}
  QColor colour;

 protected:
  void PaintBuffer(QPainter& p) override {
    p.fillRect(rect(), colour);
    p.fillRect(QRect(width() - 1, height() - 1, 1, 1), Qt::white);  // its last pixel
  }
};

TEST(SkinWidgetPaint, ControlsOfEverySizeShowTheirOwnPixelsOnBlack) {
  Filled big(Qt::red), small(Qt::blue), wider(Qt::green);
  big.resize(120, 90);
  small.resize(30, 20);
  wider.resize(200, 10);  // wider than the shared picture so far: it grows
  for (int round = 0; round < 2; ++round) {
    for (Filled* w : {&big, &small, &wider}) {
      const QImage shown = w->grab().toImage();
      ASSERT_EQ(shown.size(), w->size());
      const QPoint last(w->width() - 1, w->height() - 1);
      EXPECT_EQ(QColor(shown.pixel(last)), QColor(Qt::white));
      EXPECT_EQ(QColor(shown.pixel(last - QPoint(1, 0))), w->colour);
      EXPECT_EQ(QColor(shown.pixel(0, last.y())), w->colour);
    }
  }
  // What a control leaves unpainted is black, whatever lay there before.
  class Partial : public SkinWidget {
   protected:
    void PaintBuffer(QPainter& p) override { p.fillRect(QRect(0, 0, 5, 5), Qt::white); }
  } partial;
  partial.resize(20, 10);
  QImage screen(20, 10, QImage::Format_ARGB32_Premultiplied);
  screen.fill(Qt::green);
  partial.render(&screen);
  EXPECT_EQ(QColor(screen.pixel(2, 2)), QColor(Qt::white));
  EXPECT_EQ(QColor(screen.pixel(15, 8)), QColor(Qt::black));
}

}  // namespace
}  // namespace tolvane::ui
