// Labels longer than their box: a smaller font first, then a second line,
// and only then a cut.
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

}  // namespace
}  // namespace tolvane::ui
