// The rules of the DPI and lighting pages, without widgets.
#include <gtest/gtest.h>

#include "config/catalogue.h"
#include "config/texts.h"
#include "ui/adv_logic.h"
#include "ui/led_logic.h"
#include "ui/ui_style.h"

namespace tolvane::ui {
namespace {

TEST(LevelValues, WithoutSeparationTheFirstThumbMovesBothAndTheSecondNothing) {
  const LevelXY cur{800, 800};
  EXPECT_EQ(LevelAfterRelease(cur, false, 1, 1600), (LevelXY{1600, 1600}));
  EXPECT_FALSE(LevelAfterRelease(cur, false, 2, 1600));
  EXPECT_FALSE(LevelAfterRelease(cur, false, 1, 800));  // released where it was
  const LevelXY sep{800, 400};
  EXPECT_EQ(LevelAfterRelease(sep, true, 2, 1200), (LevelXY{800, 1200}));
  EXPECT_EQ(LevelAfterRelease(sep, true, 1, 1200), (LevelXY{1200, 400}));
}

TEST(LevelValues, TypedNumbersSnapToTheNearestEntryTheFirstOnATie) {
  const std::vector<int> table = {1100, 1200, 1300};
  EXPECT_EQ(SnapToTable(table, 1234), 1200);
  EXPECT_EQ(SnapToTable(table, 1250), 1200);
  EXPECT_EQ(SnapToTable(table, 1251), 1300);
  EXPECT_EQ(SnapToTable(table, 1300), 1300);
  EXPECT_EQ(SnapToTable(table, 50), 1100);
  EXPECT_EQ(SnapToTable(table, 99999), 1300);
  EXPECT_FALSE(SnapToTable({}, 1200));
  // Applied to the level: both values, or the one clicked with separation.
  EXPECT_EQ(LevelAfterInput({800, 800}, false, true, table, 1250), (LevelXY{1200, 1200}));
  EXPECT_EQ(LevelAfterInput({800, 400}, true, true, table, 1234), (LevelXY{800, 1200}));
  EXPECT_EQ(LevelAfterInput({800, 400}, true, false, table, 1234), (LevelXY{1200, 400}));
  EXPECT_FALSE(LevelAfterInput({800, 800}, false, false, {}, 1200));
  EXPECT_FALSE(LevelAfterInput({800, 800}, false, false, {0, 5000}, 100));  // snaps to 0
}

TEST(DpiPrompt, TitleNamesTheRange) {
  EXPECT_EQ(DpiPromptTitle("DPI", 100, 26000), "DPI   (100 ~ 26000)");
}

TEST(ReportRate, FourKRadiosOnlyOnFourKDevicesAndAWireRunsAtMostOneThousand) {
  const auto plain = RateRadios(false), fourK = RateRadios(true);
  ASSERT_EQ(plain.size(), 4u);
  ASSERT_EQ(fourK.size(), 6u);
  EXPECT_STREQ(plain[3].label, "1K");
  EXPECT_STREQ(fourK[5].label, "4K");
  EXPECT_EQ(RateRadioOf(plain, 0x500), 2);
  EXPECT_EQ(RateRadioOf(plain, 0x4000), -1);
  EXPECT_EQ(RateRadioOf(fourK, 0x4000), 5);
  EXPECT_EQ(RateRadioOf(fourK, 0x1A00), -1);  // not a rate
  EXPECT_EQ(ShownRate(0x4000, true), 0x1000u);
  EXPECT_EQ(ShownRate(0x2000, true), 0x1000u);
  EXPECT_EQ(ShownRate(0x4000, false), 0x4000u);
  EXPECT_EQ(ShownRate(0x500, true), 0x500u);
}

TEST(PointerControls, PagePerNotchRoundTripAndDesktopValuesSnapToTheSliders) {
  EXPECT_EQ(ScrollToControls(-1), (ScrollControls{3, true}));
  EXPECT_EQ(ScrollFromControls(ScrollToControls(-1)), -1);
  EXPECT_EQ(ScrollFromControls({7, true}), -1);
  EXPECT_EQ(ScrollFromControls(ScrollToControls(7)), 7);
  EXPECT_EQ(ScrollToControls(15), (ScrollControls{10, false}));
  EXPECT_EQ(ScrollToControls(0), (ScrollControls{1, false}));
  EXPECT_EQ(SnapPointerValue(PointerSpeedTable(), 11), 10);  // 10 and 12 tie
  EXPECT_EQ(SnapPointerValue(PointerSpeedTable(), 3), 2);
  EXPECT_EQ(SnapPointerValue(PointerSpeedTable(), 20), 20);
  EXPECT_EQ(SnapPointerValue(DoubleClickTable(), 500), 480);
  EXPECT_EQ(SnapPointerValue(DoubleClickTable(), 5000), 900);
}

TEST(SleepLabels, MinutesFromSixtySecondsOnWithTheLanguageFilesUnits) {
  ASSERT_TRUE(Texts().Load(std::string(TOLVANE_SOURCE_DATA_DIR) + "/text.xml"));
  const std::string minutes = UiText("tc_adv_str22").toStdString();
  const std::string seconds = UiText("tc_adv_str24").toStdString();
  EXPECT_EQ(SleepItemText(120, minutes, seconds), "2 min");
  EXPECT_EQ(SleepItemText(30, minutes, seconds), "30 sec");
  EXPECT_EQ(SleepItemText(300, minutes, seconds), "5 min");
  EXPECT_EQ(SleepItemText(60, minutes, seconds), "1 min");
  EXPECT_EQ(SleepItemText(59, minutes, seconds), "59 sec");
}

TEST(LightEffects, TheOptionsDecideTheControlsAndTheStartValues) {
  const std::array<LedOption, kLedOptions> opts = Catalogue{}.ledOpt;
  std::array<LedOption, kLedOptions> cfg = opts;
  // As the shipped options: effect 1 steady with colour, 3 a wave at 8 and 10.
  cfg[0].A = 0, cfg[0].B = 6, cfg[0].E = 1;
  cfg[2].A = 8, cfg[2].B = 10, cfg[2].E = 0;
  cfg[6].A = 0, cfg[6].B = 0, cfg[6].E = 0;
  EXPECT_EQ(MainEffectControls(cfg, 0), (EffectControls{false, false, false}));
  EXPECT_EQ(MainEffectControls(cfg, 3), (EffectControls{true, true, false}));
  EXPECT_EQ(MainEffectControls(cfg, 1), (EffectControls{true, false, true}));
  EXPECT_EQ(MainEffectStart(cfg, 3).speed, 8);
  EXPECT_EQ(MainEffectStart(cfg, 3).brightness, 10);
  // An effect without speed or brightness never starts at position 0.
  EXPECT_EQ(MainEffectStart(cfg, 0).speed, 1);
  EXPECT_EQ(MainEffectStart(cfg, 0).brightness, 1);
  EXPECT_EQ(&MainEffectOption(cfg, 9), &cfg[6]);
  EXPECT_EQ(LogoEffectControls(3), (EffectControls{true, true, false}));
  EXPECT_EQ(LogoEffectControls(0), (EffectControls{}));
}

TEST(Colours, CodeEditsAndGrid) {
  EXPECT_EQ(ColorCode(0x0000FF), "#0000ff");
  EXPECT_EQ(ColorCode(0xFF123456), "#123456");
  EXPECT_EQ(ComposeColor(255, 0, 0), 0x0000FFu);
  EXPECT_EQ(ComposeColor(1, 2, 3), 0x030201u);
  EXPECT_EQ(PresetColors()[0], 0x0000FFu);
  const ChannelText over = ReadChannel("300");
  EXPECT_EQ(over.value, 255);
  EXPECT_TRUE(over.replaced);
  EXPECT_EQ(ReadChannel("12").value, 12);
  EXPECT_FALSE(ReadChannel("255").replaced);
  EXPECT_EQ(ReadChannel("").value, 0);
  EXPECT_EQ(ReadChannel("99999999999999999999").value, 255);
}

}  // namespace
}  // namespace tolvane::ui
