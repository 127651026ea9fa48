#include <gtest/gtest.h>

#include "ui/menu_dlg.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

using test::Pump;
using test::Recorder;

std::vector<MenuItem> Items() {
  return {{kMenuTopGroup, 1, "one"},  {kMenuTopGroup, 2, "two"}, {kMenuTopGroup, 3, "media"},
          {2, 31, "play"},            {2, 32, "stop"},           {2, 33, "mute"}};
}

CMenuDlg::Options Opt(intptr_t tag) {
  CMenuDlg::Options o;
  o.width = 120;
  o.pos = QPoint(300, 300);
  o.tag = tag;
  return o;
}

TEST(Menu, MissingItemPictureWarnsAndOpensFlat) {
  test::TempSkin skin;  // empty
  LoadMenuPictures();
  test::Warnings warnings;
  Recorder owner;
  CMenuDlg* m = CMenuDlg::Open(&owner, Items(), Opt(0));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(warnings.Count("Menu item height is 0"), 1);
  EXPECT_EQ(warnings.seen[0].first, "Warring");
  EXPECT_EQ(m->ItemHeight(), 0);
  EXPECT_EQ(m->height(), 2);  // only the border
  // Painted with the fallback fill and frame colours.
  const QImage img = m->Render();
  EXPECT_EQ(img.pixelColor(0, 0), ColorFromRef(0x6A6061));
  CMenuDlg::CloseOpen();
  EXPECT_EQ(CMenuDlg::Current(), nullptr);
  ReleaseMenuPictures();
}

TEST(Menu, SubmenuOpensLevelAndPassesThePickOn) {
  test::TempSkin skin;
  skin.Add("menu_nr.png", 120, 20, QColor(30, 30, 30));
  skin.Add("menu_ov.png", 120, 20, QColor(90, 90, 90));
  skin.Add("menusub_nr.png", 120, 20, QColor(30, 30, 80));
  skin.Add("menusub_ov.png", 120, 20, QColor(90, 90, 200));
  LoadMenuPictures();
  const int loads = PictureLoadCount();
  Recorder owner;
  CMenuDlg* m = CMenuDlg::Open(&owner, Items(), Opt(9));
  EXPECT_EQ(m->height(), 3 * 20 + 2);
  EXPECT_EQ(m->ItemRect(2), QRect(0, 41, 120, 20));
  EXPECT_TRUE(m->ItemRect(3).isEmpty());  // shown in the submenu only

  m->HandleMove(m->ItemRect(2).center());
  CMenuDlg* sub = m->Submenu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->ItemCount(), 3u);
  // Left edge at the menu's right edge; top = menu top + item top - 2 item heights,
  // so that the last item is level with the hovered one (both below a border).
  EXPECT_EQ(sub->geometry().left(), m->geometry().right() + 1);
  EXPECT_EQ(sub->geometry().top(), m->geometry().top() + 41 - 2 * 20);
  EXPECT_EQ(m->Render().pixelColor(5, 50), QColor(90, 90, 200));  // hovered owner item

  m->HandleRelease(m->ItemRect(2).center());  // the owner item itself picks nothing
  Pump();
  EXPECT_TRUE(owner.msgs.empty());

  sub->HandleRelease(sub->ItemRect(1).center());
  Pump();
  ASSERT_EQ(owner.Of(WM_MENU_PICK).size(), 1u);
  EXPECT_EQ(owner.Of(WM_MENU_PICK)[0].wParam, 32u);
  EXPECT_EQ(owner.Of(WM_MENU_PICK)[0].lParam, 9);

  // Moving to another item closes the submenu; a second menu closes the first.
  m->HandleMove(m->ItemRect(0).center());
  Pump();
  EXPECT_EQ(m->Submenu(), nullptr);
  QPointer<CMenuDlg> first = m;
  CMenuDlg* second = CMenuDlg::Open(&owner, Items(), Opt(1));
  Pump();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(CMenuDlg::Current(), second);
  EXPECT_EQ(PictureLoadCount(), loads);  // menus reuse the application's pictures
  CMenuDlg::CloseOpen();
  ReleaseMenuPictures();
}

}  // namespace
}  // namespace tolvane::ui
