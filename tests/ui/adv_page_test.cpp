// The DPI and performance page on a real program with virtual mice: what
// each control writes into the record and into the mouse's EEPROM.
#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

#include <algorithm>
#include <utility>

#include "config/sensor.h"
#include "page_rig.h"
#include "ui_test_util.h"
#include "platform/desktop/desktop_pointer.h"
#include "profile/profile_device.h"
#include "profile/profile_file.h"
#include "ui/adv_dlg.h"
#include "ui/adv_logic.h"
#include "ui/msg_dlg.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_style.h"

namespace tolvane::ui {
namespace {

constexpr const char* kPro = "pro:cid=10,mid=1";
constexpr const char* kPlus4kWireless = "pro+:cid=20,mid=2,link=wireless";
constexpr const char* kPlus4kWired = "pro+:cid=20,mid=2,link=wired";

class AdvPageTest : public test::PageTest<CAdvDlg> {
 protected:
  CAdvDlg& Make(PointerSettings* pointer = nullptr) {
    return MakePage(pointer ? *pointer : memory_, chooser_);
  }
  static std::array<uint8_t, 4> Entry(uint32_t sensor, int x, int y) {
    int xm = 0, ym = 0;
    const int xc = DpiToCode(sensor, x, &xm), yc = DpiToCode(sensor, y, &ym);
    return EncodeDpiEntry({uint32_t(xc), uint32_t(xm), uint32_t(yc), uint32_t(ym)});
  }
  static std::vector<size_t> Changed(const sim::Eeprom& a, const sim::Eeprom& b) {
    std::vector<size_t> at;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) at.push_back(i);
    return at;
  }

  // The report-rate row as the page draws it: each radio with its label from
  // 4 pixels right of it, the titles centred in their boxes. No two parts
  // may share a pixel column.
  void ExpectRateRowClear(const CAdvDlg& page) {
    const QFontMetrics fm(SharedFontOr(DialogFont(14, 400)));
    std::vector<std::pair<int, int>> spans;
    auto centred = [&](const QRect& box, const QString& text) {
      const int w = fm.horizontalAdvance(text);
      spans.push_back({box.center().x() - w / 2, box.center().x() + w / 2 + 1});
    };
    auto labelled = [&](const CPngBtn* b, const QString& label) {
      if (!b || !b->isVisibleTo(&page)) return;
      const QRect r = b->geometry();
      spans.push_back({r.left(), r.right() + 5 + fm.horizontalAdvance(label)});
    };
    centred(QRect(QPoint(26, 334), QPoint(158, 363)), UiText("tc_adv_str6"));
    const std::vector<RateRadio> radios = RateRadios(page.RateButtons().size() > 4);
    for (size_t i = 0; i < page.RateButtons().size(); ++i)
      labelled(page.RateButtons()[i], QString::fromLatin1(radios[i].label) + "Hz");
    if (page.LiftOffRadio(0)->isVisibleTo(&page)) centred(page.LiftOffTitle(), UiText("tc_adv_str9"));
    for (int i = 0; i < 2; ++i) labelled(page.LiftOffRadio(i), QString("%1 mm").arg(i + 1));
    labelled(page.RippleToggle(), UiText("tc_adv_str12"));
    labelled(page.AngleSnappingToggle(), UiText("tc_adv_str13"));
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
      EXPECT_LT(spans[i - 1].second, spans[i].first) << "parts " << i - 1 << " and " << i;
    EXPECT_LT(spans.back().second, page.width() - 20);
  }

  MemoryPointerSettings memory_;
  test::ScriptedChooser chooser_;
};

TEST_F(AdvPageTest, ALevelValueWritesThatLevelsGuardedEntryAndNothingElse) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  const uint32_t sensor = program_->CurrentModel()->nSensor;
  if (program_->Profile()->Dpi[2].dwDpiX == 1600) {  // start from another value
    page.ReleaseLevel(2, 1, 1200);
    Settle();
  }
  const sim::Eeprom before = Mouse()->EepromCopy();
  page.ReleaseLevel(2, 1, 1600);
  Settle();
  const sim::Eeprom after = Mouse()->EepromCopy();
  const std::vector<size_t> changed = Changed(before, after);
  EXPECT_FALSE(changed.empty());
  for (size_t at : changed) EXPECT_TRUE(at >= 0x14 && at < 0x18) << "byte " << at << " changed";
  const auto want = Entry(sensor, 1600, 1600);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), after.begin() + 0x14));
  EXPECT_EQ(program_->Profile()->Dpi[2].dwDpiY, 1600u);
  EXPECT_EQ(page.XLabel(2)->Caption(), "1600");
  EXPECT_EQ(page.LevelBar(2)->GetPos(1), 1600);

  // Without separation the second thumb changes nothing.
  TakeWrites();
  page.ReleaseLevel(2, 2, 3200);
  Settle();
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_EQ(program_->Profile()->Dpi[2].dwDpiX, 1600u);
}

TEST_F(AdvPageTest, TypedDpiSnapsToTheSensorAndPassesTheGate) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1,latency=5"}));
  CAdvDlg& page = Make();
  QString title;
  int typed = 1234;
  page.SetNumberPrompt([&](const QString& t, int, int) -> std::optional<int> {
    title = t;
    return typed;
  });
  const std::vector<int> table = page.DpiTable();
  ASSERT_FALSE(table.empty());
  page.EnterDpi(0, false);
  Settle();
  EXPECT_EQ(title.toStdString(),
            "DPI   (" + std::to_string(table.front()) + " ~ " + std::to_string(table.back()) + ")");
  const int want = *SnapToTable(table, 1234);
  EXPECT_EQ(int(program_->Profile()->Dpi[0].dwDpiX), want);
  EXPECT_EQ(page.XLabel(0)->Caption(), QString::number(want));

  // While a read runs the gate refuses: the record keeps its value.
  program_->TakeMessages();
  program_->ReadProfile();
  ASSERT_TRUE(WaitUntil([&] { return program_->ReadRunning(); }, 2000));
  typed = table.back();
  page.EnterDpi(0, false);
  EXPECT_EQ(int(program_->Profile()->Dpi[0].dwDpiX), want);
  EXPECT_FALSE(program_->TakeMessages().empty());
  ASSERT_TRUE(WaitUntil([&] { return !program_->ReadRunning(); }));
  Settle();
}

TEST_F(AdvPageTest, ReportRatesWriteTheirCodesAndAWireShowsAtMostOneThousand) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  ASSERT_EQ(page.RateButtons().size(), 4u);
  page.ChooseRate(2);  // 500 Hz
  Settle();
  EXPECT_EQ(Eeprom(0, 2), (std::vector<uint8_t>{2, 0x55 - 2}));
  EXPECT_EQ(page.ShownRateHz(), 500);
  EXPECT_TRUE(page.RateButtons()[2]->GetCheck());
  EXPECT_FALSE(page.RateButtons()[3]->GetCheck());
}

TEST_F(AdvPageTest, RippleAndAngleSnappingClicksFlipTheRecordAndTheirChecks) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  struct Case {
    CPngBtn* toggle;
    int32_t ProfileFile::*field;
  };
  for (const Case& c : {Case{page.RippleToggle(), &ProfileFile::nRipple},
                        Case{page.AngleSnappingToggle(), &ProfileFile::nFixLine}}) {
    ASSERT_NE(c.toggle, nullptr);
    const int32_t before = (*program_->Profile()).*c.field;
    for (int click = 1; click <= 2; ++click) {
      test::Click(c.toggle, QPoint(3, 3));
      Settle();
      const int32_t want = click == 1 ? int32_t(before == 0) : before;
      EXPECT_EQ((*program_->Profile()).*c.field, want) << "click " << click;
      EXPECT_EQ(c.toggle->GetCheck(), want != 0) << "click " << click;
    }
  }
}

TEST_F(AdvPageTest, FourKRatesOnAFourKMouse) {
  ASSERT_NO_FATAL_FAILURE(Start({kPlus4kWireless}));
  CAdvDlg& page = Make();
  ASSERT_EQ(page.RateButtons().size(), 6u);
  page.ChooseRate(5);
  Settle();
  const int code = RateToCode(0x4000, true);
  ASSERT_GT(code, 0);
  EXPECT_EQ(Eeprom(0, 1)[0], uint8_t(code));
  EXPECT_EQ(program_->Profile()->dwPollingRate, 0x4000u);
  EXPECT_EQ(page.ShownRateHz(), 4000);
}

// The record is lowered with what the page shows; the lowering itself
// writes nothing (the next write of the rate takes it).
TEST_F(AdvPageTest, AWiredFourKMouseWhoseProfileSaysFourThousandShowsAndKeepsOneThousand) {
  ASSERT_NO_FATAL_FAILURE(Start({kPlus4kWired}));
  ASSERT_TRUE(program_->Edit([](ProfileFile& f, const EditModel& m) { return EditRate(f, m, 4000); })
                  .ok);
  Settle();
  TakeWrites();
  CAdvDlg& page = Make();
  EXPECT_EQ(page.ShownRateHz(), 1000);
  EXPECT_EQ(program_->Profile()->dwPollingRate, 0x1000u);
  Settle();
  EXPECT_TRUE(TakeWrites().empty());
  page.ChooseRate(3);
  Settle();
  EXPECT_EQ(Eeprom(0, 1)[0], uint8_t(RateToCode(0x1000, true)));
}

TEST_F(AdvPageTest, TheReportRateRowIsClearOnAPro) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  ExpectRateRowClear(Make());
}

TEST_F(AdvPageTest, TheReportRateRowIsClearWithSixRatesAndTheLiftOffGroup) {
  ASSERT_NO_FATAL_FAILURE(Start({kPlus4kWireless}));
  CAdvDlg& page = Make();
  ASSERT_EQ(page.RateButtons().size(), 6u);
  ASSERT_TRUE(page.LiftOffRadio(1)->isVisibleTo(&page));
  ExpectRateRowClear(page);
}

TEST_F(AdvPageTest, SeparationOffSetsEveryYToItsXAndWritesAllLevels) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  const int levels = program_->CurrentModel()->DpiLevels();
  page.ToggleSeparate();
  Settle();
  ASSERT_TRUE(page.SeparateCheck()->GetCheck());
  ASSERT_TRUE(page.LevelBar(1)->SecondShown());
  page.ReleaseLevel(1, 2, 3200);
  Settle();
  EXPECT_EQ(program_->Profile()->Dpi[1].dwDpiY, 3200u);
  EXPECT_NE(program_->Profile()->Dpi[1].dwDpiX, 3200u);
  TakeWrites();
  page.ToggleSeparate();
  Settle();
  const ProfileFile f = *program_->Profile();
  EXPECT_EQ(f.nDpiMode, 0);
  const uint32_t sensor = program_->CurrentModel()->nSensor;
  for (int i = 0; i < levels; ++i) {
    EXPECT_EQ(f.Dpi[i].dwDpiY, f.Dpi[i].dwDpiX) << i;
    const auto want = Entry(sensor, int(f.Dpi[i].dwDpiX), int(f.Dpi[i].dwDpiX));
    EXPECT_EQ(Eeprom(uint16_t(0x0C + 4 * i), 4), std::vector<uint8_t>(want.begin(), want.end()))
        << i;
  }
  EXPECT_FALSE(page.LevelBar(1)->SecondShown());
}

TEST_F(AdvPageTest, FewerLevelsThanTheCurrentOneMoveTheCurrentLevelIntoRange) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  page.ChooseLevelCount(5);
  page.ChooseLevel(4);
  Settle();
  ASSERT_EQ(program_->CurDpiLevel(), 4);
  page.ChooseLevelCount(2);
  Settle();
  EXPECT_EQ(program_->CurDpiLevel(), 1);
  EXPECT_EQ(Eeprom(eeprom::kLevels, 1)[0], 2);
  EXPECT_EQ(Eeprom(eeprom::kCurLevel, 1)[0], 1);
  EXPECT_TRUE(page.Selector(1)->GetCheck());
  EXPECT_FALSE(page.Selector(4)->isVisibleTo(&page));
}

TEST_F(AdvPageTest, ALevelColourIsWrittenOnceWithTheChosenColour) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  chooser_.answers = {std::nullopt, 0x0000FFu};
  TakeWrites();
  page.PickLevelColor(1);  // cancelled
  Settle();
  EXPECT_TRUE(TakeWrites().empty());
  page.PickLevelColor(1);
  Settle();
  EXPECT_EQ(program_->Profile()->Dpi[1].dwColor, 0x0000FFu);
  EXPECT_EQ(page.Swatch(1)->Color(), 0x0000FFu);
  int colourWrites = 0;
  for (const test::EepromWrite& w : TakeWrites())
    colourWrites += w.addr >= eeprom::kDpiColor && w.addr < eeprom::kDpiColor + 32;
  EXPECT_EQ(colourWrites, 1);
  const auto quad = EncodeColorQuad(0x0000FF);
  EXPECT_EQ(Eeprom(eeprom::kDpiColor + 4, 4), std::vector<uint8_t>(quad.begin(), quad.end()));
}

TEST_F(AdvPageTest, TheMousesDpiButtonMovesTheMarkerWithoutADialog) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  const int before = program_->CurDpiLevel();
  ASSERT_TRUE(page.Selector(before)->GetCheck());
  Mouse()->PressDpiButton();
  ASSERT_TRUE(WaitUntil([&] { return program_->CurDpiLevel() != before; }));
  const int now = program_->CurDpiLevel();
  EXPECT_TRUE(WaitUntil([&] { return page.Selector(now)->GetCheck(); }));
  EXPECT_FALSE(page.Selector(before)->GetCheck());
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(qobject_cast<CMsgDlg*>(w) && w->isVisible());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AdvPageTest, PointerControlsFollowTheProfileAndTheDesktopsCapabilities) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  EXPECT_TRUE(page.PointerSpeed()->isEnabled());
  // An import brings other pointer settings: the page shows them, and a DPI
  // change afterwards leaves them in the profile.
  SysMouseSettings imported{7, 480, 11, 0, 0};
  ASSERT_TRUE(program_->Edit([&](ProfileFile& f, const EditModel& m) {
                         return EditPointer(f, m, imported);
                       }).ok);
  Settle();
  page.Refresh();
  EXPECT_EQ(page.PointerCopy().nScrollLines, 7);
  EXPECT_EQ(page.PointerSpeed()->GetPos(), 10);  // 11 is between the slider's 10 and 12
  page.ReleaseLevel(0, 1, 3200);
  Settle();
  EXPECT_EQ(program_->Profile()->SysMouse.nScrollLines, 7);
  EXPECT_EQ(program_->Profile()->SysMouse.nDoubleClickTime, 480);
  // One page per notch stores -1, and back gives the slider's lines.
  page.TogglePagePerNotch();
  Settle();
  EXPECT_EQ(program_->Profile()->SysMouse.nScrollLines, -1);
  EXPECT_TRUE(page.PageToggle()->GetCheck());
  page.TogglePagePerNotch();
  Settle();
  EXPECT_EQ(program_->Profile()->SysMouse.nScrollLines, 3);
  page.ReleaseDoubleClick(620);
  Settle();
  EXPECT_EQ(program_->Profile()->SysMouse.nDoubleClickTime, 620);

  platform::NoPointerSettings none;
  CAdvDlg& grey = Make(&none);
  EXPECT_FALSE(grey.PointerSpeed()->isEnabled());
  EXPECT_FALSE(grey.PageToggle()->isEnabled());
}

TEST_F(AdvPageTest, DpiLightSlidersBelongToTheirEffect) {
  ASSERT_NO_FATAL_FAILURE(Start({kPro}));
  CAdvDlg& page = Make();
  page.ChooseDpiEffect(1);
  Settle();
  EXPECT_EQ(program_->Profile()->DpiLight.nMode, 1);
  EXPECT_FALSE(page.DpiBrightness()->IsDisabled());
  EXPECT_TRUE(page.DpiSpeed()->IsDisabled());
  EXPECT_FALSE(page.DpiSpeed()->Thumb()->isVisibleTo(page.DpiSpeed()));
  page.ReleaseDpiLight(false, 6);
  Settle();
  EXPECT_EQ(program_->Profile()->DpiLight.nBright, 6);
  const int speed = program_->Profile()->DpiLight.nSpeed;
  page.ReleaseDpiLight(true, speed == 3 ? 2 : 3);  // the speed belongs to breathing
  Settle();
  EXPECT_EQ(program_->Profile()->DpiLight.nSpeed, speed);
  page.ChooseDpiEffect(0);
  Settle();
  TakeWrites();
  page.ReleaseDpiLight(false, 2);  // ignored while the light is off
  Settle();
  EXPECT_TRUE(TakeWrites().empty());
  EXPECT_EQ(program_->Profile()->DpiLight.nBright, 6);
}

}  // namespace
}  // namespace tolvane::ui
