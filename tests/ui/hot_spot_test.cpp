// The hot-spot labels of the button page: the name beside or under the icon,
// a smaller font before a cut, the icon alone where no readable part fits,
// the full name in the tool tip whenever it does not show whole.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>

#include "ui/hot_spot.h"
#include "ui/ui_style.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

QFont Font16() {
  QFont f = DialogFont(16, 400);
  f.setPixelSize(16);
  return f;
}

// The icon's box and the name's box never cover each other, and both stay
// inside the spot.
void ExpectApart(const HotSpotLabel& l, QSize spot, QSize icon) {
  const QRect in(QPoint(0, 0), spot);
  const QRect iconBox(l.icon, icon);
  if (icon.width() <= spot.width() && icon.height() <= spot.height()) {
    EXPECT_TRUE(in.contains(iconBox)) << iconBox.x() << "," << iconBox.y();
  }
  if (l.text.isEmpty()) return;
  EXPECT_TRUE(in.contains(l.text));
  if (!icon.isEmpty()) {
    EXPECT_FALSE(iconBox.intersects(l.text));
  }
}

TEST(HotSpotLayout, TallSpotPutsTheWholeNameUnderTheIconAtFullSize) {
  const QSize spot(75, 120), icon(16, 16);
  const HotSpotLabel l = LayOutHotSpot(spot, icon, "Left click", Font16());
  EXPECT_TRUE(l.whole);
  EXPECT_EQ(l.shown, "Left click");
  EXPECT_EQ(l.font.pixelSize(), 16);
  EXPECT_GT(l.text.top(), l.icon.y());
  EXPECT_EQ(l.icon.x(), (75 - 16) / 2);
  ExpectApart(l, spot, icon);
  EXPECT_LE(QFontMetrics(l.font).horizontalAdvance(l.shown), l.text.width());
}

TEST(HotSpotLayout, WideSpotPutsTheNameBesideTheIconAtItsPlace) {
  const QSize spot(200, 30), icon(16, 16);
  const HotSpotLabel l = LayOutHotSpot(spot, icon, "Volume up", Font16());
  EXPECT_TRUE(l.whole);
  EXPECT_EQ(l.icon, QPoint(13, 7));
  EXPECT_GE(l.text.left(), 13 + 16);
  ExpectApart(l, spot, icon);
}

TEST(HotSpotLayout, ALongerNameShrinksTheFontBeforeItIsCut) {
  const QSize spot(75, 120), icon(16, 16);
  const QString name = "Ctrl+Shift+A";
  ASSERT_GT(QFontMetrics(Font16()).horizontalAdvance(name), 71);  // does not fit at 16
  const HotSpotLabel l = LayOutHotSpot(spot, icon, name, Font16());
  EXPECT_TRUE(l.whole);
  EXPECT_EQ(l.shown, name);
  EXPECT_LT(l.font.pixelSize(), 16);
  EXPECT_GE(l.font.pixelSize(), 10);
  EXPECT_LE(QFontMetrics(l.font).horizontalAdvance(name), l.text.width());
  ExpectApart(l, spot, icon);
}

TEST(HotSpotLayout, NarrowSpotShowsTheIconAloneAndACutNameWithoutOne) {
  // A side button: a letter and an ellipsis say less than the icon.
  const QSize side(22, 45), icon(16, 16);
  const HotSpotLabel l = LayOutHotSpot(side, icon, "Forward", Font16());
  EXPECT_FALSE(l.whole);
  EXPECT_TRUE(l.text.isEmpty());
  EXPECT_EQ(l.icon, QPoint(3, 14));
  // Without an icon the cut name is all there is.
  const HotSpotLabel bare = LayOutHotSpot(side, QSize(), "Profile switch", Font16());
  EXPECT_FALSE(bare.whole);
  EXPECT_FALSE(bare.text.isEmpty());
  EXPECT_NE(bare.shown, "Profile switch");
  EXPECT_LE(QFontMetrics(bare.font).horizontalAdvance(bare.shown), bare.text.width());
  EXPECT_EQ(bare.font.pixelSize(), 10);
  // A spot lower than one line of the smallest font shows the icon alone.
  const HotSpotLabel flat = LayOutHotSpot(QSize(120, 8), icon, "Mute", Font16());
  EXPECT_FALSE(flat.whole);
  EXPECT_TRUE(flat.text.isEmpty());
}

TEST(HotSpotButton, TheToolTipCarriesEveryNameThatDoesNotShowWhole) {
  QWidget page;
  QImage icon(16, 16, QImage::Format_ARGB32);
  icon.fill(Qt::white);
  CHotSpotBtn wide(&page), side(&page);
  wide.setGeometry(0, 0, 75, 120);
  side.setGeometry(100, 0, 22, 45);
  for (CHotSpotBtn* b : {&wide, &side}) b->SetLabelFont(Font16());
  wide.ShowAssignment("Left click", icon, false);
  side.ShowAssignment("Forward", icon, false);
  EXPECT_EQ(wide.Caption(), "Left click");
  EXPECT_EQ(side.Caption(), "Forward");  // the caption stays the full name
  EXPECT_TRUE(wide.toolTip().isEmpty());
  EXPECT_EQ(side.toolTip(), "Forward");
  wide.ShowAssignment("Left click", icon, true);  // cfg.ini BtnTips
  EXPECT_EQ(wide.toolTip(), "Left click");
  // A larger spot re-lays the name out: it fits now, the tip goes.
  page.show();
  side.ShowAssignment("Back", icon, false);
  EXPECT_FALSE(side.Label().whole);
  side.resize(120, 45);
  EXPECT_TRUE(side.Label().whole);
  EXPECT_TRUE(side.toolTip().isEmpty());

  // The picture: the icon where the layout put it, no text drawn over it.
  wide.ShowAssignment("Left click", icon, false);
  const QImage shot = wide.grab().toImage();
  const QPoint at = wide.Label().icon + QPoint(8, 8);
  EXPECT_EQ(QColor(shot.pixel(at)), QColor(Qt::white));
}

}  // namespace
}  // namespace tolvane::ui
