// The skinned controls' memory picture follows the screen's scaling.
#include <gtest/gtest.h>

#include <QPainter>

#include "ui/skin_widget.h"

namespace tolvane::ui {
namespace {

class RatioProbe : public SkinWidget {
 public:
  qreal seen = 0;

 protected:
  void PaintBuffer(QPainter& p) override {
    seen = p.device()->devicePixelRatioF();
    p.fillRect(rect(), Qt::white);
    p.fillRect(QRect(0, 0, 1, 1), Qt::red);  // one pixel of the control
  }
};

TEST(SkinWidgetBuffer, IsPaintedAtTheScreensPixelsNotEnlargedAfterwards) {
  RatioProbe w;
  w.resize(40, 20);
  const QImage& twice = w.PaintScaled(2.0);
  EXPECT_EQ(twice.size(), QSize(80, 40));
  EXPECT_EQ(twice.devicePixelRatio(), 2.0);
  EXPECT_EQ(w.seen, 2.0);  // the control drew at the screen's resolution
  // One pixel of the control covers 2 x 2 of the screen's.
  EXPECT_EQ(QColor(twice.pixel(1, 1)), QColor(Qt::red));
  EXPECT_EQ(QColor(twice.pixel(2, 0)), QColor(Qt::white));
  const QImage& once = w.PaintScaled(1.0);
  EXPECT_EQ(once.size(), QSize(40, 20));
  EXPECT_EQ(w.seen, 1.0);
  EXPECT_EQ(QColor(once.pixel(1, 0)), QColor(Qt::white));
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

TEST(SkinWidgetBuffer, ControlsOfEverySizeShareOnePictureAndEachShowsItsOwnPixels) {
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
  // One picture: a control's view and the next one's start at the same pixels.
  const uchar* first = big.PaintScaled(1.0).constBits();
  EXPECT_EQ(small.PaintScaled(1.0).constBits(), first);
}

}  // namespace
}  // namespace tolvane::ui
