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

}  // namespace
}  // namespace tolvane::ui
