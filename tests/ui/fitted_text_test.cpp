// Labels longer than their box: a smaller font first, then a second line,
// and only then a cut. And the banded copy of a large picture.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "ui/paint_util.h"
#include "ui/ui_style.h"

namespace tolvane::ui {
namespace {

TEST(FittedText, ShrinksThenWrapsThenCuts) {
  const QFont font = DialogFont(15, 400);
  ASSERT_EQ(font.pixelSize(), 11);
  const FittedText shortText = FitText(font, "Loop", QSize(200, 30), 9);
  EXPECT_EQ(shortText.font.pixelSize(), 11);
  EXPECT_FALSE(shortText.wrap);
  EXPECT_EQ(shortText.text, "Loop");

  const QString two = "Repeat Repeat";
  const int wide = QFontMetrics(font).horizontalAdvance(two);
  // A little too narrow: the next sizes down, on one line.
  const FittedText smaller = FitText(font, two, QSize(wide - 3, 30), 9);
  EXPECT_LT(smaller.font.pixelSize(), 11);
  EXPECT_FALSE(smaller.wrap);
  EXPECT_EQ(smaller.text, two);
  EXPECT_LE(QFontMetrics(smaller.font).horizontalAdvance(two), wide - 3);
  // Far too narrow for one line, high enough for two: whole, on two lines.
  const FittedText wrapped = FitText(font, two, QSize(wide * 6 / 10, 40), 9);
  EXPECT_TRUE(wrapped.wrap);
  EXPECT_EQ(wrapped.text, two);
  EXPECT_EQ(wrapped.font.pixelSize(), 11);
  // Too low for two lines: cut at the smallest size.
  const FittedText cut = FitText(font, two, QSize(wide * 6 / 10, 12), 9);
  EXPECT_FALSE(cut.wrap);
  EXPECT_EQ(cut.font.pixelSize(), 9);
  EXPECT_TRUE(cut.text.endsWith(QChar(0x2026))) << cut.text.toStdString();
}

// The banded copy lands every row once and in its place: a height that is
// not a whole number of bands, an offset, the copy mode that replaces what is
// under it, a scaled painter and a screen scale with smooth filtering,
// against Qt's own copy.
TEST(PictureCopy, BandsLandLikeOneCopy) {
  QImage picture(53, 37, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qPremultiply(qRgba(x * 4, y * 6, (x ^ y) & 0xFF, (x + y) % 2 ? 255 : 96)));
  for (const qreal scale : {1.0, 2.0}) {
    for (const auto mode : {QPainter::CompositionMode_Source, QPainter::CompositionMode_SourceOver}) {
      QImage want(130, 90, QImage::Format_ARGB32_Premultiplied), got(want.size(), want.format());
      want.fill(qRgba(10, 20, 30, 255));
      got.fill(qRgba(10, 20, 30, 255));
      QPainter pw(&want), pg(&got);
      for (QPainter* p : {&pw, &pg}) {
        p->scale(scale, scale);
        p->setCompositionMode(mode);
      }
      pw.drawImage(QPoint(5, 3), picture);
      DrawPictureHere(pg, QPoint(5, 3), picture);
      pw.end();
      pg.end();
      EXPECT_EQ(got, want) << "scale " << scale << ", mode " << int(mode);
    }
  }
  QImage want(160, 120, QImage::Format_ARGB32_Premultiplied), got(want.size(), want.format());
  for (QImage* img : {&want, &got}) {
    img->fill(Qt::black);
    img->setDevicePixelRatio(1.5);
  }
  QPainter pw(&want), pg(&got);
  for (QPainter* p : {&pw, &pg}) p->setRenderHint(QPainter::SmoothPixmapTransform);
  pw.drawImage(QPoint(2, 1), picture);
  DrawPictureHere(pg, QPoint(2, 1), picture);
  pw.end();
  pg.end();
  EXPECT_EQ(got, want) << "at a screen scale of 1.5";
}

}  // namespace
}  // namespace tolvane::ui
