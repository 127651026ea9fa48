// The button page's rules without pixels: the function menu, what a choice
// becomes, names and icons of assignments, where the menu opens.
#include "ui/key_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "config/sensor.h"

namespace tolvane::ui {
namespace {

// Texts: every id names itself, except the ones a test empties.
TextLookup TextsWithout(std::vector<std::string> empty = {}) {
  return [empty](std::string_view id) {
    if (std::find(empty.begin(), empty.end(), std::string(id)) != empty.end()) return std::string();
    return "<" + std::string(id) + ">";
  };
}

std::unique_ptr<SensorCfg> Table(std::vector<int> dpi) {
  auto t = std::make_unique<SensorCfg>();
  t->nSensor = 0x1234;
  t->nCount = int(dpi.size());
  for (size_t i = 0; i < dpi.size(); ++i) t->nDpi[i] = dpi[i];
  return t;
}

DevCfg PlainModel() {
  DevCfg d;
  d.nSensor = 0x3370;
  d.nKeyCount = 6;
  for (int i = 0; i < 6; ++i) d.keys[0][i].dwFunID = kFunLeftClick;
  return d;
}

std::vector<std::string> TopIds(const std::vector<KeyMenuEntry>& menu) {
  std::vector<std::string> out;
  for (const auto& e : menu)
    if (e.group == kTopLevel) out.push_back(e.textId);
  return out;
}

std::vector<const KeyMenuEntry*> Children(const std::vector<KeyMenuEntry>& menu, const char* id) {
  std::vector<const KeyMenuEntry*> out;
  for (size_t i = 0; i < menu.size(); ++i) {
    if (menu[i].textId != id || menu[i].group != kTopLevel) continue;
    for (const auto& e : menu)
      if (e.group == i) out.push_back(&e);
  }
  return out;
}

TEST(KeyMenu, PlainModelHasTheFixedItemsAndMediaButNoEmptyHeadings) {
  const DevCfg d = PlainModel();
  const auto menu = BuildKeyMenu(d, {}, TextsWithout());
  const std::vector<std::string> expected = {"tc_click",   "tc_menu",    "tc_middle",
                                             "tc_forward", "tc_back",    "tc_prosw",
                                             "tc_combokey", "tc_key_off", "tc_mac_def",
                                             "tc_media"};
  EXPECT_EQ(TopIds(menu), expected);  // no DPI and no sniper heading without items
  const auto media = Children(menu, "tc_media");
  ASSERT_EQ(media.size(), 16u);
  EXPECT_EQ(media[0]->value, kFunMediaSelect);
  EXPECT_EQ(media[4]->value, kFunMediaStop);
  EXPECT_EQ(media[12]->value, kFunAppSearch);
  EXPECT_EQ(media[15]->value, kFunAppFavourites);
  EXPECT_EQ(media[2]->text, "<tc_next_media>");
  // Sub-menu items follow every top-level item.
  const auto firstSub = std::find_if(menu.begin(), menu.end(),
                                     [](const KeyMenuEntry& e) { return e.group != kTopLevel; });
  EXPECT_TRUE(std::all_of(firstSub, menu.end(),
                          [](const KeyMenuEntry& e) { return e.group != kTopLevel; }));
}

TEST(KeyMenu, ItemsFollowTheModelAndTheCatalogue) {
  DevCfg d = PlainModel();
  d.bShowRGBSw = 1;
  d.bShowLogoEffect = 1;
  d.dwDpiMenuMask = 0b101;
  d.keys[0][3].dwFunID = kFunLightEffectSwitch;
  KeyMenuFacts facts;
  facts.showProfileSwitch = false;
  const auto menu = BuildKeyMenu(d, facts, TextsWithout({"tc_kbmedia_stop"}));
  const auto top = TopIds(menu);
  EXPECT_NE(std::find(top.begin(), top.end(), "tc_rgb"), top.end());
  EXPECT_NE(std::find(top.begin(), top.end(), "tc_rgbsw"), top.end());
  EXPECT_EQ(std::find(top.begin(), top.end(), "tc_prosw"), top.end());
  const auto dpi = Children(menu, "tc_dpi");
  ASSERT_EQ(dpi.size(), 2u);
  EXPECT_EQ(dpi[0]->value, kFunDpiUp);
  EXPECT_EQ(dpi[1]->value, kFunDpiCycle);
  const auto media = Children(menu, "tc_media");
  EXPECT_EQ(media.size(), 15u);  // browser stop has no text
  for (const auto* e : media) EXPECT_NE(e->value, kFunAppBrowserStop);

  // The light switch needs a light.
  d.bShowLogoEffect = 0;
  const auto dark = TopIds(BuildKeyMenu(d, facts, TextsWithout()));
  EXPECT_EQ(std::find(dark.begin(), dark.end(), "tc_rgb"), dark.end());
}

TEST(KeyMenu, SniperListsTableValuesFrom100To1100WithTheirFullIndex) {
  const auto few = Table({50, 400, 800, 1200, 1600});
  auto menu = SniperMenu(few.get());
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_EQ(menu[0].text, "400");
  EXPECT_EQ(menu[0].value, kFunSniper + 1 * 0x100);
  EXPECT_EQ(menu[1].text, "800");
  EXPECT_EQ(SniperIndexOf(menu[1].value), 2u);

  // A fine table: 600 sits at index 299, past what a byte holds.
  std::vector<int> fine;
  for (int i = 0; i < 600; ++i) fine.push_back(2 * (i + 1));
  const auto long_ = Table(fine);
  menu = SniperMenu(long_.get());
  ASSERT_EQ(menu.size(), 11u);
  EXPECT_EQ(menu[5].text, "600");
  EXPECT_EQ(SniperIndexOf(menu[5].value), 299u);
  const MenuChoice c = DecideChoice(menu[10].value);
  EXPECT_EQ(c.kind, ChoiceKind::Assignment);
  EXPECT_EQ(c.key.dwFunID, kFunSniper);
  EXPECT_EQ(c.key.dwParameter, 549u);  // 1100

  DevCfg d = PlainModel();
  KeyMenuFacts facts;
  facts.sensor = few.get();
  const auto full = BuildKeyMenu(d, facts, TextsWithout());
  EXPECT_EQ(TopIds(full).back(), "tc_adv_str28");
  EXPECT_EQ(Children(full, "tc_adv_str28").size(), 2u);
  EXPECT_TRUE(SniperMenu(nullptr).empty());
}

TEST(KeyMenu, ChoicesAndCombinations) {
  EXPECT_EQ(DecideChoice(kFunMacro).kind, ChoiceKind::Macro);
  EXPECT_EQ(DecideChoice(kFunComboKey).kind, ChoiceKind::Combination);
  const MenuChoice media = DecideChoice(kFunMute);
  EXPECT_EQ(media.kind, ChoiceKind::Assignment);
  EXPECT_EQ(media.key.dwFunID, kFunMute);
  EXPECT_EQ(media.key.dwParameter, 0u);

  KeyCombo ctrlShiftA;
  ctrlShiftA.bModifiers = 0x03;
  ctrlShiftA.bKeys[0] = 'A';
  const auto k = ComboAssignment(ctrlShiftA);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->dwFunID, 0x020000A1u);
  EXPECT_EQ(k->stCombo.bModifiers, 0x03);
  EXPECT_EQ(k->stCombo.bKeys[0], 'A');
  KeyCombo f5;
  f5.bKeys[0] = 0x74;
  EXPECT_EQ(ComboAssignment(f5)->dwFunID, 0x020000A0u);
  EXPECT_FALSE(ComboAssignment(KeyCombo{}));
}

TEST(KeyMenu, NamesAndIcons) {
  const KeyCodeEnv env;
  KeyInfo odd;
  odd.dwFunID = 0x0C0000FE;
  EXPECT_TRUE(IsUnknownAssignment(odd, env, TextsWithout()));
  EXPECT_EQ(AssignmentName(odd, env, TextsWithout({"tc_key_unknown"})), "Unknown (0x0C0000FE)");
  KeyInfo left;
  left.dwFunID = kFunLeftClick;
  EXPECT_EQ(AssignmentName(left, env, TextsWithout()), "<tc_click>");

  // Special functions by code range; a function without a picture has none.
  EXPECT_EQ(IconName(kFunSniper), "ICO_DPI_nr.png");
  EXPECT_EQ(IconName(kFunFire), "ICO_leftclick_nr.png");
  EXPECT_EQ(IconName(kFunProfileSwitch), "");
  EXPECT_TRUE(KeyMasked(0b100, 2));
  EXPECT_FALSE(KeyMasked(0b100, 1));
}

TEST(KeyMenu, MenuWidensAndOpensUpwardNearTheScreenBottom) {
  const Rect hot{100, 200, 120, 300};  // 20 wide
  MenuPlace p = PlaceKeyMenu(hot, 160, 13, 2000);
  EXPECT_EQ(p.x, 30);
  EXPECT_EQ(p.width, 156);
  EXPECT_EQ(p.y, 300);
  p = PlaceKeyMenu(hot, 0, 13, 500);  // 300 + 260 does not fit
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.width, 16);
  EXPECT_EQ(p.y, 200 - 260);
}

TEST(KeyMenu, SleepLabelsAndFileSuffix) {
  EXPECT_EQ(SensorSleepValues().size(), 13u);
  EXPECT_EQ(SensorSleepLabel(3), "30 sec");
  EXPECT_EQ(SensorSleepLabel(12), "2 min");
  EXPECT_EQ(SensorSleepLabel(6), "1 min");
  EXPECT_EQ(WithQxaSuffix("/tmp/p"), "/tmp/p.qxa");
  EXPECT_EQ(WithQxaSuffix("/tmp/p.QXA"), "/tmp/p.QXA");
  EXPECT_EQ(WithQxaSuffix("/tmp/p.qxa.txt"), "/tmp/p.qxa.txt.qxa");
  EXPECT_EQ(WithQxaSuffix(""), "");
}

}  // namespace
}  // namespace tolvane::ui
