#include <gtest/gtest.h>

#include <QEnterEvent>

#include "ui/factories.h"
#include "ui/menu_dlg.h"
#include "ui/png_btn.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

using test::Pump;
using test::Recorder;

TEST(ButtonLook, PictureAndColourFollowTheState) {
  auto look = [](bool toggle, bool checked, bool pressed, bool hover, bool disabled, bool alt) {
    return ChooseBtnLook({toggle, checked, pressed, hover, disabled, alt});
  };
  // Push buttons: pressed or checked wins over hover; idle uses the alternative picture.
  EXPECT_EQ(look(false, false, true, true, false, false).picture, BtnPicture::Pressed);
  EXPECT_EQ(look(false, true, false, false, false, false).color, BtnTextColor::Pressed);
  EXPECT_EQ(look(false, false, false, true, false, false).picture, BtnPicture::Hover);
  EXPECT_EQ(look(false, false, false, false, false, true).picture, BtnPicture::AltNormal);
  EXPECT_EQ(look(false, false, false, false, true, true).picture, BtnPicture::Disabled);
  // Toggles: checked and disabled shows the disabled picture in the normal colour;
  // a pressed toggle that is not checked does not look pressed.
  const BtnLook cd = look(true, true, false, true, true, false);
  EXPECT_EQ(cd.picture, BtnPicture::Disabled);
  EXPECT_EQ(cd.color, BtnTextColor::Normal);
  EXPECT_EQ(look(true, false, true, false, false, false).picture, BtnPicture::Normal);
  EXPECT_EQ(look(true, true, false, true, false, false).picture, BtnPicture::Pressed);
}

class Buttons : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.Add("b_nr.png", 80, 27, QColor(10, 10, 200));
    skin.Add("b_ov.png", 80, 27, QColor(10, 200, 10));
    skin.Add("b_dn.png", 80, 27, QColor(200, 10, 10));
    parent.resize(300, 100);
  }
  CPngBtn* Make(CPngBtn* b) {
    EXPECT_EQ(NewSmallPngButton(QImage(), "b_dn.png", &parent, "b_nr.png", "b_ov.png", b, false,
                                false, 5, 5, 50, 50),
              1);
    return b;
  }
  test::TempSkin skin;
  Recorder parent;
};

TEST_F(Buttons, FactoryGivesThePictureSizeOrNamesTheMissingPicture) {
  auto* b = Make(new CPngBtn);
  EXPECT_EQ(b->geometry(), QRect(5, 5, 80, 27));  // the size of the normal picture
  EXPECT_EQ(b->parentWidget(), &parent);

  test::Warnings warnings;
  CPngBtn orphan;
  EXPECT_EQ(NewSmallPngButton(QImage(), "b_dn.png", &parent, "b_nr.png", "gone_ov.png", &orphan,
                              false, false, 0, 0, 10, 10),
            0);
  ASSERT_EQ(warnings.seen.size(), 1u);
  EXPECT_EQ(warnings.seen[0].first, "Warrning");
  EXPECT_EQ(warnings.seen[0].second,
            "NewSmallPngButton. file " + skin.Dir().toStdString() + "gone_ov.png not exist");
  EXPECT_EQ(orphan.parentWidget(), nullptr);
  // NewSmallPngButton3 refuses an empty name without a box.
  EXPECT_EQ(NewSmallPngButton3(std::nullopt, QImage(), &parent, "b_nr.png", "", "b_dn.png",
                               &orphan, false, false, "x", 0, 0, 1, 1),
            0);
  EXPECT_EQ(warnings.seen.size(), 1u);
}

TEST_F(Buttons, SkinButtonIsPlacedWholeOrNotAtAll) {
  auto* combo = NewSkinButton<CComboBtn>(&parent, QImage(), QRect(20, 30, 80, 27), "b_nr.png",
                                         "b_ov.png", "b_dn.png", "Go");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->parentWidget(), &parent);
  EXPECT_EQ(combo->geometry(), QRect(20, 30, 80, 27));
  EXPECT_TRUE(combo->isVisibleTo(&parent));

  // A missing picture: one box, and no half-made child left in the parent.
  test::Warnings warnings;
  EXPECT_EQ(NewSkinButton<CPngBtn>(&parent, QImage(), QRect(0, 0, 80, 27), "b_nr.png",
                                   "gone_ov.png", "b_dn.png"),
            nullptr);
  EXPECT_EQ(warnings.seen.size(), 1u);
  EXPECT_EQ(parent.findChildren<CPngBtn*>().size(), 1);
}

TEST_F(Buttons, PaintsPictureOfStateAndClicks) {
  auto* b = Make(new CPngBtn);
  int clicks = 0;
  QObject::connect(b, &CPngBtn::clicked, [&] { ++clicks; });
  EXPECT_EQ(b->Render().pixelColor(40, 13), QColor(10, 10, 200));
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
  QCoreApplication::sendEvent(b, &enter);
  EXPECT_EQ(b->Render().pixelColor(40, 13), QColor(10, 200, 10));
  test::Mouse(b, QEvent::MouseButtonPress, QPoint(3, 3));
  EXPECT_EQ(b->Render().pixelColor(40, 13), QColor(200, 10, 10));
  test::Mouse(b, QEvent::MouseButtonRelease, QPoint(3, 3));
  EXPECT_EQ(clicks, 1);
  // Released outside: no click.
  test::Mouse(b, QEvent::MouseButtonPress, QPoint(3, 3));
  test::Mouse(b, QEvent::MouseButtonRelease, QPoint(200, 3));
  EXPECT_EQ(clicks, 1);
}

TEST_F(Buttons, LockedButtonIsGreyAndDeaf) {
  auto* b = Make(new CPngBtn);
  b->SetDblClkNotify(true);
  b->SetUserValue(7);
  int clicks = 0;
  QObject::connect(b, &CPngBtn::clicked, [&] { ++clicks; });
  // Unlocked, a double-click posts WM_BTN_DBLCLK with the handle and user value.
  test::Mouse(b, QEvent::MouseButtonDblClick, QPoint(3, 3));
  test::Mouse(b, QEvent::MouseButtonRelease, QPoint(3, 3));
  Pump();
  ASSERT_EQ(parent.Of(WM_BTN_DBLCLK).size(), 1u);
  EXPECT_EQ(parent.Of(WM_BTN_DBLCLK)[0].wParam, HandleOf(b));
  EXPECT_EQ(parent.Of(WM_BTN_DBLCLK)[0].lParam, 7);
  EXPECT_EQ(clicks, 1);

  parent.msgs.clear();
  b->SetLock(true);
  test::Click(b, QPoint(3, 3));
  test::Mouse(b, QEvent::MouseButtonDblClick, QPoint(3, 3));
  test::Mouse(b, QEvent::MouseButtonRelease, QPoint(3, 3));
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(parent.Of(WM_BTN_DBLCLK).empty());
  EXPECT_FALSE(b->IsPressed());
  // ARGB 0xDC505050 over blue (10, 10, 200).
  const QColor c = b->Render().pixelColor(40, 13);
  EXPECT_NEAR(c.red(), (0x50 * 0xDC + 10 * (255 - 0xDC)) / 255, 2);
  EXPECT_NEAR(c.blue(), (0x50 * 0xDC + 200 * (255 - 0xDC)) / 255, 2);
}

TEST_F(Buttons, FlipOnClickToggleAndTabUnderline) {
  auto* t = Make(new CPngBtn);
  t->SetToggle(true);
  t->SetFlipOnClick(true);
  test::Click(t, QPoint(3, 3));
  EXPECT_TRUE(t->GetCheck());
  test::Click(t, QPoint(3, 3));
  EXPECT_FALSE(t->GetCheck());

  auto* tab = new CNaviBtn(&parent);
  QImage pic(100, 80, QImage::Format_ARGB32_Premultiplied);
  pic.fill(Qt::black);
  tab->SetImages(pic, pic, pic);
  tab->setGeometry(0, 0, 200, 80);
  tab->SetToggle(true);
  tab->SetUnderlineWidth(100);
  EXPECT_EQ(tab->Render().pixelColor(100, 78), QColor(Qt::black));
  tab->SetCheck(true);
  const QImage on = tab->Render();
  EXPECT_EQ(on.pixelColor(100, 78), QColor(0, 128, 255));  // COLORREF 0xFF8000
  EXPECT_EQ(on.pixelColor(100, 74), QColor(Qt::black));    // 5 pixels high
  EXPECT_EQ(on.pixelColor(49, 78), QColor(Qt::black));     // 100 wide, centred
  EXPECT_EQ(on.pixelColor(50, 78), QColor(0, 128, 255));
  tab->setEnabled(false);
  EXPECT_EQ(tab->Render().pixelColor(100, 78), QColor(Qt::black));
}

TEST_F(Buttons, PaintingReadsNoFiles) {
  auto* b = Make(new CPngBtn);
  b->SetCaption("OK");
  const int loads = PictureLoadCount();
  for (int i = 0; i < 5; ++i) b->Render();
  EXPECT_EQ(PictureLoadCount(), loads);
}

class Combos : public Buttons {
 protected:
  void SetUp() override {
    Buttons::SetUp();
    skin.Add("menu_nr.png", 100, 20);
    LoadMenuPictures();
    combo = new CComboBtn(&parent);
    Make(combo);
    for (int i = 1; i <= 25; ++i) combo->AddItem(0, uint32_t(100 + i), QString("item %1").arg(i));
  }
  void TearDown() override {
    CMenuDlg::CloseOpen();
    ReleaseMenuPictures();
  }
  CComboBtn* combo = nullptr;
};

TEST_F(Combos, ShowsTwentyOfTwentyFiveItemsAndNeverSelectsTheRest) {
  EXPECT_EQ(combo->AddItem(4, 1, "x"), 0);
  int changes = 0;
  QObject::connect(combo, &CPngBtn::clicked, [&] { ++changes; });
  test::Click(combo, QPoint(3, 3));  // opens on release, reports no click
  CMenuDlg* menu = combo->OpenMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->ItemCount(), 20u);
  EXPECT_EQ(menu->height(), 20 * 20 + 2);
  EXPECT_EQ(changes, 0);

  EXPECT_EQ(combo->SelectValue(122), 0);  // item 22
  PostUiMessage(combo, WM_MENU_PICK, 123, 0);
  Pump();
  EXPECT_EQ(combo->SelectedPos(), -1);
  EXPECT_EQ(changes, 0);

  // A pick from the open menu selects it and reports it.
  combo->OpenList();
  menu = combo->OpenMenu();
  menu->HandleRelease(menu->ItemRect(4).center());
  Pump();
  EXPECT_EQ(combo->SelectedPos(), 4);
  EXPECT_EQ(combo->GetSelectedValue(), 105u);
  EXPECT_EQ(combo->Caption(), "item 5");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->OpenMenu(), nullptr);  // closed by the choice

  combo->SelectPos(-1);
  EXPECT_EQ(combo->GetSelectedValue(), 0xFFFFFFFFu);
  EXPECT_TRUE(combo->Caption().isEmpty());
}

TEST_F(Combos, VetoAndSameValueDropTheChoice) {
  int changes = 0;
  QObject::connect(combo, &CPngBtn::clicked, [&] { ++changes; });
  bool allow = false;
  combo->SetVeto([&](uint32_t) { return allow; });
  PostUiMessage(combo, WM_MENU_PICK, 103, 0);
  Pump();
  EXPECT_EQ(combo->SelectedPos(), -1);
  allow = true;
  combo->SetSameValueNoChange(true);
  PostUiMessage(combo, WM_MENU_PICK, 103, 0);
  PostUiMessage(combo, WM_MENU_PICK, 103, 0);
  Pump();
  EXPECT_EQ(combo->SelectedPos(), 2);
  EXPECT_EQ(changes, 1);
}

TEST(ComboPlacement, BelowAboveOrCentred) {
  const QRect btn(100, 500, 147, 30);
  EXPECT_EQ(CComboBtn::MenuOrigin(btn, 5, 0, 1000), QPoint(100, 530));
  EXPECT_EQ(CComboBtn::MenuOrigin(btn, 5, 0, 620), QPoint(100, 400));  // 530 + 100 > 620
  EXPECT_EQ(CComboBtn::MenuOrigin(btn, 5, 1, 1000), QPoint(100, 450));
}

}  // namespace
}  // namespace tolvane::ui
