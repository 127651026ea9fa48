// The lighting page on a real program with virtual mice.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>

#include "page_rig.h"
#include "profile/profile_device.h"
#include "profile/profile_file.h"
#include "ui/color_dlg.h"
#include "ui/led_logic.h"
#include "ui/led_dlg.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"

namespace tolvane::ui {
namespace {

constexpr const char* kPro = "pro:cid=10,mid=1";

class LedPageTest : public test::PageTest<CLedDlg> {
 protected:
  CLedDlg& Make() { return MakePage(); }
  // Waits for the device check and the write that follows it.
  void Done() {
    ASSERT_TRUE(WaitUntil([&] { return !page_->Checking(); }));
    Settle();
  }
  // A PRO with the page, its main light steady (an effect with a colour).
  void StartSteady() {
    ASSERT_NO_FATAL_FAILURE(Start({kPro}));
    Make().ChooseMainEffect(1);
    ASSERT_NO_FATAL_FAILURE(Done());
  }
  int WritesAt(const std::vector<test::EepromWrite>& ws, uint16_t addr) {
    int n = 0;
    for (const auto& w : ws) n += w.addr == addr;
    return n;
  }
};

TEST_F(LedPageTest, PickingRedWritesEachLightsBlockOnceWithAValidCheckByte) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  page.ChooseLogoEffect(1);
  ASSERT_NO_FATAL_FAILURE(Done());
  ASSERT_TRUE(page.Swatch()->isVisibleTo(&page));
  TakeWrites();
  ASSERT_TRUE(page.PressAt(page.GridCell(0).center()));
  ASSERT_NO_FATAL_FAILURE(Done());
  const auto writes = TakeWrites();
  EXPECT_EQ(WritesAt(writes, eeprom::kMainLight), 1);
  const std::vector<uint8_t> block = Eeprom(eeprom::kMainLight, 7);
  EXPECT_EQ(block[1], 0xFF);  // red, green, blue
  EXPECT_EQ(block[2], 0x00);
  EXPECT_EQ(block[3], 0x00);
  unsigned sum = 0;
  for (uint8_t b : block) sum += b;
  EXPECT_EQ(uint8_t(sum), 0x55);
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, 0x0000FFu);
  // The logo light takes the page's one colour as well.
  EXPECT_EQ(WritesAt(writes, eeprom::kLogo), 1);
  const std::vector<uint8_t> logo = Eeprom(eeprom::kLogo, 4);
  EXPECT_EQ(logo, (std::vector<uint8_t>{0xFF, 0x00, 0x00, uint8_t(0x55 - 0xFF)}));
  EXPECT_EQ(program_->Profile()->LogoLight.dwColor, 0x0000FFu);
  EXPECT_EQ(program_->Profile()->LogoLight.nMode, 1);
  EXPECT_EQ(page.ChannelEdit(0)->text(), "255");
  EXPECT_EQ(page.ChannelEdit(1)->text(), "0");
  EXPECT_EQ(page.ColorLabel()->Caption(), "#0000ff");
  // A press away from the picture and the grid picks nothing.
  EXPECT_FALSE(page.PressAt(QPoint(2, 2)));
}

TEST_F(LedPageTest, TheColourPictureGivesItsOwnPixel) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  const QImage pic = LoadSkinPicture(QStringLiteral("color.png"));
  ASSERT_FALSE(pic.isNull());
  const QPoint at(150, 60);
  ASSERT_TRUE(page.PressAt(page.PictureRect().topLeft() + at));
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, RefFromColor(pic.pixelColor(at)));
}

TEST_F(LedPageTest, TypedChannelsAreCappedAndWrittenOnceWhenTheEditIsFinished) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  TakeWrites();
  page.ChannelEdit(0)->setText("300");
  page.TypeChannel(0, "300");
  page.ChannelEdit(1)->setText("1");
  page.TypeChannel(1, "1");
  page.ChannelEdit(1)->setText("16");
  page.TypeChannel(1, "16");
  EXPECT_EQ(page.ChannelEdit(0)->text(), "255");
  EXPECT_EQ(page.Swatch()->Color(), ComposeColor(255, 16, ReadChannel(page.ChannelEdit(2)->text().toStdString()).value));
  Settle();
  EXPECT_TRUE(TakeWrites().empty());  // nothing per keystroke
  page.FinishChannels();
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(WritesAt(TakeWrites(), eeprom::kMainLight), 1);
  EXPECT_EQ(program_->Profile()->MainLight.dwColor & 0xFFFF, 0x10FFu);
  page.FinishChannels();  // nothing typed since
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(LedPageTest, EffectsShowTheirControlsAndStartFromTheirOptions) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CLedDlg& page = Make();
  page.ChooseMainEffect(0);
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_FALSE(page.MainBrightness()->isVisibleTo(&page));
  EXPECT_FALSE(page.MainSpeed()->isVisibleTo(&page));
  EXPECT_FALSE(page.Swatch()->isVisibleTo(&page));
  page.ChooseMainEffect(3);
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(program_->Profile()->MainLight.nMode, 3);
  EXPECT_EQ(program_->Profile()->MainLight.nSpeed, 8);
  EXPECT_EQ(program_->Profile()->MainLight.nBright, 10);
  EXPECT_EQ(page.MainSpeed()->GetPos(), 8);
  EXPECT_EQ(page.MainBrightness()->GetPos(), 10);
  EXPECT_FALSE(page.Swatch()->isVisibleTo(&page));
  EXPECT_EQ(page.MainEffect()->GetSelectedValue(), 3u);
  page.ReleaseSlider(false, true, 4);
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(program_->Profile()->MainLight.nSpeed, 4);
}

TEST_F(LedPageTest, AChangeTheMouseRefusesNeverReachesTheRecord) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  const uint32_t before = program_->Profile()->MainLight.dwColor;
  Mouse()->LockLighting(true);
  TakeWrites();
  page.PickColor(before ^ 0x00FF00);
  ASSERT_NO_FATAL_FAILURE(Done());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], UiText("tc_adv_str29"));
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, before);
  EXPECT_EQ(page.Swatch()->Color(), before);
  EXPECT_EQ(WritesAt(TakeWrites(), eeprom::kMainLight), 0);
  Mouse()->LockLighting(false);
  page.PickColor(before ^ 0x00FF00);
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, before ^ 0x00FF00);
}

TEST_F(LedPageTest, ALightChangeOnTheMouseRefreshesThePage) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CLedDlg& page = Make();
  const int before = program_->Profile()->MainLight.nMode;
  Mouse()->PokeEeprom(eeprom::kMainLight + 1, {0x12, 0x34, 0x56});  // red, green, blue
  Mouse()->ChangeLight(sim::LightKind::Main);
  ASSERT_TRUE(WaitUntil([&] { return program_->Profile()->MainLight.nMode != before; }));
  const int now = program_->Profile()->MainLight.nMode;
  EXPECT_TRUE(WaitUntil([&] { return page.MainEffect()->GetSelectedValue() == uint32_t(now); }));
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, 0x563412u);
  EXPECT_EQ(page.Swatch()->Color(), 0x563412u);
  EXPECT_TRUE(messages_.empty());
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(w->isVisible() && w != page_.get()) << "a dialog opened";
}

// With both lights, each effect selector with its title keeps clear of the
// colour controls and of the other selector.
TEST_F(LedPageTest, TheEffectSelectorsKeepClearOfTheColourControls) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  ASSERT_TRUE(page.LogoEffect()->isVisibleTo(&page));
  ASSERT_TRUE(page.Swatch()->isVisibleTo(&page));
  std::vector<QRect> colour = {page.Swatch()->geometry(), page.PictureRect()};
  for (int i = 0; i < 3; ++i) colour.push_back(page.ChannelEdit(i)->geometry());
  for (int i = 0; i < 14; ++i) colour.push_back(page.GridCell(i));
  const QRect g0 = page.GridCell(0);
  colour.push_back(QRect(QPoint(g0.left() - 18, g0.top() - 40), QPoint(g0.left() + 161, g0.top() - 23)));
  auto withTitle = [](const CComboBtn* c) { return c->geometry().united(QRect(44, c->y(), 1, c->height())); };
  const QRect main = withTitle(page.MainEffect()), logo = withTitle(page.LogoEffect());
  EXPECT_FALSE(main.intersects(logo));
  for (const QRect& r : colour) {
    EXPECT_FALSE(main.intersects(r)) << r.x() << "," << r.y();
    EXPECT_FALSE(logo.intersects(r)) << r.x() << "," << r.y();
  }
  EXPECT_TRUE(page.rect().contains(logo));
}

TEST_F(LedPageTest, SleepIsLockedOnAWireAndTheTitleIsTheLightingText) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1,link=wired"}));
  CLedDlg& page = Make();
  EXPECT_EQ(page.Title(), UiText("tc_msg23"));
  EXPECT_NE(page.Title(), UiText("tc_page4"));
  ASSERT_NE(page.SleepCombo(), nullptr);
  EXPECT_TRUE(page.SleepCombo()->IsLocked());
  EXPECT_TRUE(page.OffOnMove()->IsLocked());
}

TEST_F(LedPageTest, SleepAndTurnOffWhileMovingAreWrittenOnAReceiver) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1,link=wireless"}));
  CLedDlg& page = Make();
  EXPECT_FALSE(page.SleepCombo()->IsLocked());
  ASSERT_GT(page.SleepCombo()->ItemCount(), 1);
  const uint32_t second = program_->CurrentModel()->nSleepVal[1];
  page.ChooseSleep(int(second));
  Settle();
  EXPECT_EQ(program_->Profile()->nSleepTime, int(second));
  EXPECT_EQ(Eeprom(eeprom::kSleepTime, 1)[0], uint8_t(second / 10));
  const int off = program_->Profile()->bLightOffOnMove;
  page.ToggleLightOffOnMove();
  Settle();
  EXPECT_EQ(program_->Profile()->bLightOffOnMove, off ? 0 : 1);
  EXPECT_EQ(page.OffOnMove()->GetCheck(), !off);
}

// The mouse is asked by the program; the answer reaches the page as an event
// on its own thread, and an answer to another check is not taken for it.
TEST_F(LedPageTest, TheDevicesAnswerReachesThePageAsAnEvent) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  const uint32_t before = program_->Profile()->MainLight.dwColor;
  page.PickColor(before ^ 0x0000FF);
  ASSERT_TRUE(page.Checking());
  page.OnCoreEvent(WM_LIGHTING_CHECKED, 0, 1);  // not this page's check
  EXPECT_TRUE(page.Checking());
  // Without the window's events the page keeps waiting, however long the
  // mouse has taken.
  QTest::qSleep(200);
  EXPECT_TRUE(page.Checking());
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, before);
  ASSERT_NO_FATAL_FAILURE(Done());
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, before ^ 0x0000FF);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LedPageTest, ClosingThePageWhileTheMouseIsAskedNeitherWaitsNorCrashes) {
  ASSERT_NO_FATAL_FAILURE(StartSteady());
  CLedDlg& page = *page_;
  const uint32_t before = program_->Profile()->MainLight.dwColor;
  Mouse()->SetLatency(400);
  page.PickColor(before ^ 0x00FF00);
  ASSERT_TRUE(page.Checking());
  QElapsedTimer closing;
  closing.start();
  Attach(nullptr);
  page_.reset();
  EXPECT_LT(closing.elapsed(), 100);
  // The answer comes to no page; the program goes on.
  QTest::qWait(600);
  Mouse()->SetLatency(0);
  CLedDlg& again = Make();
  again.PickColor(before ^ 0x0000FF);
  ASSERT_TRUE(WaitUntil([&] { return !again.Checking(); }));
  Settle();
  EXPECT_EQ(program_->Profile()->MainLight.dwColor, before ^ 0x0000FF);
}

}  // namespace
}  // namespace tolvane::ui
