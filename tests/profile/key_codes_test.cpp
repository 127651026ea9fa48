#include "profile/key_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../support/guarded_bytes.h"
#include "app/log.h"
#include "macro/hd_macro.h"

namespace tolvane {
namespace {

// The built-in table of sensor 0x3330 (50..7200 by 50, 7300..12000 by 100)
// with its mode-0 register codes (DPI / 50 - 1), and a small macro library.
class TestEnv : public KeyCodeEnv {
 public:
  TestEnv() {
    for (int v = 50; v <= 7200; v += 50) dpis_.push_back(v);
    for (int v = 7300; v <= 12000; v += 100) dpis_.push_back(v);
  }
  int DpiAt(uint32_t pos) const override { return pos < dpis_.size() ? dpis_[pos] : -1; }
  int SniperCode(uint32_t pos) const override {
    const int v = DpiAt(pos);
    return v < 0 ? -1 : v <= 7200 ? v / 50 - 1 : (v / 2) / 50 - 1;
  }
  int SniperPosition(uint8_t code) const override {
    for (size_t i = 0; i < dpis_.size(); ++i)
      if (dpis_[i] == (code + 1) * 50) return int(i);
    return -1;
  }
  std::optional<StMacro> FindMacro(uint32_t id) const override {
    for (const auto& m : macros)
      if (m.dwID == id) return m;
    return std::nullopt;
  }
  std::optional<uint32_t> FindMacroId(std::string_view name) const override {
    for (const auto& m : macros)
      if (GetMacroName(m) == name) return m.dwID;
    return std::nullopt;
  }
  std::vector<StMacro> macros;

 private:
  std::vector<int> dpis_;
};

KeyInfo Fun(uint32_t fun, uint32_t param = 0) {
  KeyInfo k;
  k.dwFunID = fun;
  k.dwParameter = param;
  return k;
}

KeyInfo Combo(uint8_t mods, uint8_t k1, uint8_t k2 = 0, uint8_t k3 = 0) {
  KeyInfo k = Fun(kFunComboKey);
  k.stCombo = KeyCombo{mods, {k1, k2, k3}};
  return k;
}

std::vector<uint8_t> Encode(const KeyInfo& k) {
  std::vector<uint8_t> out(kComboRecordSize, 0xEE);
  int n = KeyInfoToComboData(out, k);
  out.resize(n > 0 ? size_t(n) : 0);
  return out;
}

// Decodes `code` for matrix index 1 with `record` as its combination record.
KeyInfo Decode(uint32_t code, const KeyCodeEnv& env, std::vector<uint8_t> record = {},
               std::string_view macroName = {}, bool* ok = nullptr) {
  record.resize(kComboRecordSize);
  KeyInfo k;
  k.nMatrix = 1;
  bool r = HardwareCodeToKeyInfo(record, code, k, env, macroName);
  if (ok) *ok = r;
  return k;
}

std::string Texts(std::string_view id) {
  static const std::map<std::string, std::string, std::less<>> t = {
      {"tc_click", "Left"},      {"tc_menu", "Right"},     {"tc_msg11", "No macro"},
      {"tc_msg25", "Macro"},     {"tc_snipe", "Sniper"},   {"tc_msg31", "Thirty-one"},
      {"tc_back", "Back"},       {"tc_forward", "Forward"}, {"tc_kbmedia_back", ""},
      {"tc_rgbsw", "Effects"},   {"tc_vol_up", "Vol+"},    {"tc_mac_def", "Macro default"},
      {"tc_scrollup", "Wheel up"}};
  auto it = t.find(id);
  return it == t.end() ? std::string() : it->second;
}

TEST(KeyCodes, UsageTableHasItsPairsInSearchOrder) {
  auto t = KeyUsageTable();
  ASSERT_EQ(t.size(), 104u);
  std::set<uint8_t> hids, vks;
  for (const auto& p : t) {
    EXPECT_TRUE(hids.insert(p.hid).second) << std::hex << int(p.hid);
    if (p.vk != 0x0D) {
      EXPECT_TRUE(vks.insert(p.vk).second) << std::hex << int(p.vk);
    }
  }
  EXPECT_EQ(VkToHid(0x0D), 0x28);  // Enter before keypad Enter
  EXPECT_EQ(HidToVk(0x58), 0x0D);
  EXPECT_EQ(HidToVk(0x28), 0x0D);
  EXPECT_EQ(VkToHid(0x41), 0x04);
  EXPECT_EQ(VkToHid(0x30), 0x27);
  EXPECT_EQ(VkToHid(0x7B), 0x45);
  EXPECT_EQ(VkToHid(0x60), 0x62);
  EXPECT_EQ(VkToHid(0x5D), 0x65);
  EXPECT_EQ(VkToHid(0x26), 0x52);
  EXPECT_EQ(VkToHid(0x07), 0);
  EXPECT_EQ(HidToVk(0x64), 0);
  EXPECT_EQ(VkToHid(0x141), 0);  // not truncated to 0x41
}

TEST(KeyCodes, FixedFunctionsConvertBothWays) {
  TestEnv env;
  const std::pair<uint32_t, uint32_t> pairs[] = {
      {kFunLeftClick, 0x101},      {kFunRightClick, 0x201},   {kFunMiddleClick, 0x401},
      {kFunBack, 0x801},           {kFunForward, 0x1001},     {kFunDoubleClick, 0x23204},
      {kFunTripleClick, 0x33204},  {kFunDisabled, 0},         {kFunLightOnOff, 8},
      {kFunDpiUp, 0x202},          {kFunDpiDown, 0x302},      {kFunDpiCycle, 0x102},
      {kFunRateSwitch, 7},         {kFunLightEffectSwitch, 0x408}, {kFunProfileSwitch, 9}};
  for (auto [fun, code] : pairs) {
    SCOPED_TRACE(std::to_string(fun));
    EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(fun)), code);
    bool ok = false;
    KeyInfo k = Decode(code, env, {}, {}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(k.dwFunID, fun);
    EXPECT_EQ(k.nMatrix, 1u);
  }
  for (uint32_t fun : {kFunRightDoubleClick, kFunShift, 0x01000019u, 0x080000ABu, 0x080000A5u,
                       0x05000000u /* not in the library */, 0x0C000000u, 0u, kFunHeadingDpi})
    EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(fun)), -1) << std::hex << fun;
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunRaw, 0x123456)), 0x123456);
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunCustom, 0xFFFFFFFF)), 0xFFFFFFFFll);
  for (uint32_t bad : {0x03u, 0x301u, 0x2001u, 0x0Bu, 0x01000101u}) {
    bool ok = true;
    Decode(bad, env, {}, {}, &ok);
    EXPECT_FALSE(ok) << std::hex << bad;
  }
}

TEST(KeyCodes, FireCarriesClicksAndIntervalAndMeetsDoubleClick) {
  TestEnv env;
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunFire, 0x0A03)), 0x030A04);
  KeyInfo k = Decode(0x030A04, env);
  EXPECT_EQ(k.dwFunID, kFunFire);
  EXPECT_EQ(k.dwParameter, 0x0A03u);
  // Two or three clicks at interval 0x32 are the double and triple click codes.
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunFire, 0x3202)), 0x23204);
  EXPECT_EQ(Decode(0x23204, env).dwFunID, kFunDoubleClick);
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunFire, 0x3203)), 0x33204);
  EXPECT_EQ(Decode(0x33204, env).dwFunID, kFunTripleClick);
  EXPECT_EQ(Decode(0x33304, env).dwFunID, kFunFire);
  EXPECT_EQ(Decode(0x33304, env).dwParameter, 0x3303u);
}

TEST(KeyCodes, SniperUsesTheSensorTablePosition) {
  TestEnv env;
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunSniper, 15)), 0x0F0A);  // 800 DPI
  KeyInfo k = Decode(0x0F0A, env);
  EXPECT_EQ(k.dwFunID, kFunSniper);
  EXPECT_EQ(k.dwParameter, 15u);
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunSniper, 192)), -1);  // past the table
  EXPECT_EQ(keyinfo_to_hardware_code(KeyCodeEnv{}, Fun(kFunSniper, 15)), -1);
  EXPECT_EQ(KeyInfoLabel(Fun(kFunSniper, 15), env, Texts), "Sniper - 800");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunSniper, 999), env, Texts), "Sniper");
}

TEST(KeyCodes, MacroButtonsCarryThePlayByteAndFindTheirMacroByName) {
  TestEnv env;
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.dwID = 0x2A0B11;
  m.wRepeat = 3;
  SetMacroName(m, "burst");
  env.macros.push_back(m);
  KeyInfo k = Fun(kFunMacro);
  k.dwMacroID = m.dwID;
  EXPECT_EQ(keyinfo_to_hardware_code(env, k), 0x030006);
  env.macros[0].nLoopMode = 2;
  EXPECT_EQ(keyinfo_to_hardware_code(env, k), 0xFE0006);
  EXPECT_EQ(KeyInfoLabel(k, env, Texts), "Macro - burst");
  k.dwMacroID = 0x999;
  EXPECT_EQ(keyinfo_to_hardware_code(env, k), -1);
  EXPECT_EQ(KeyInfoLabel(k, env, Texts), "No macro");

  KeyInfo read = Decode(0xFE0106, env, {}, "burst");
  EXPECT_EQ(read.dwFunID, kFunMacro);
  EXPECT_EQ(read.dwMacroID, 0x2A0B11u);
  KeyInfo unknown;
  unknown.nMatrix = 4;
  ASSERT_TRUE(HardwareCodeToKeyInfo({}, 0x0306, unknown, env, "gone"));
  EXPECT_EQ(unknown.dwMacroID, 0xFFEE03u);
}

TEST(KeyCodes, KeyCombinationsEncodePressesThenReleases) {
  const std::vector<uint8_t> ctrlShiftA = {6,    0x80, 1, 0, 0x80, 2, 0, 0x81, 4, 0,
                                           0x40, 1,    0, 0x40, 2,    0, 0x41, 4, 0};
  EXPECT_EQ(Encode(Combo(0x03, 0x41)), ctrlShiftA);
  TestEnv env;
  EXPECT_EQ(keyinfo_to_hardware_code(env, Combo(0x03, 0x41)), 5);
  KeyInfo k = Decode(5, env, ctrlShiftA);
  EXPECT_EQ(k.dwFunID, 0x02000000u);
  EXPECT_EQ(k.stCombo.bModifiers, 0x03);
  EXPECT_EQ(k.stCombo.bKeys[0], 0x41);
  EXPECT_EQ(k.stCombo.bKeys[1], 0);

  // Keys are released in reverse order; a key without usage goes out as 0.
  EXPECT_EQ(Encode(Combo(0x08, 0x42, 0x07, 0x0D)),
            (std::vector<uint8_t>{8, 0x80, 8, 0, 0x81, 5, 0, 0x81, 0, 0, 0x81, 0x28, 0,
                                  0x40, 8, 0, 0x41, 0x28, 0, 0x41, 0, 0, 0x41, 5, 0}));
  // Right-hand modifiers go out as their left-hand keys, each once.
  EXPECT_EQ(Encode(Combo(0x11, 0x41)), (std::vector<uint8_t>{4, 0x80, 1, 0, 0x81, 4, 0,
                                                             0x40, 1, 0, 0x41, 4, 0}));
  // The key group without modifiers uses the same record.
  KeyInfo plain = Combo(0, 0x20);
  plain.dwFunID = kFunPlainKey;
  EXPECT_EQ(Encode(plain), (std::vector<uint8_t>{2, 0x81, 0x2C, 0, 0x41, 0x2C, 0}));
  std::vector<uint8_t> none(kComboRecordSize);
  EXPECT_EQ(KeyInfoToComboData(none, Fun(kFunLeftClick)), 0);
}

TEST(KeyCodes, CombinationsBeyondTenEventsAreRefusedWhole) {
  TestEnv env;
  std::vector<uint8_t> out(kComboRecordSize, 0xEE);
  KeyInfo five = Combo(0x0F, 0x41);  // 4 modifiers and a key: 10 events, 31 bytes
  EXPECT_EQ(KeyInfoToComboData(out, five), 31);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[31], 0xEE);  // the checksum byte is the writer's
  EXPECT_EQ(keyinfo_to_hardware_code(env, five), 5);
  // One byte short of the record: refused, nothing written.
  std::vector<uint8_t> small(30, 0xEE);
  EXPECT_EQ(KeyInfoToComboData(small, five), -1);
  EXPECT_EQ(small, std::vector<uint8_t>(30, 0xEE));

  for (KeyInfo big : {Combo(0x0F, 0x41, 0x42), Combo(0x0F, 0x41, 0x42, 0x43),
                      Combo(0x07, 0x41, 0x42, 0x43)}) {
    std::fill(out.begin(), out.end(), 0xEE);
    EXPECT_EQ(KeyInfoToComboData(out, big), -1);
    EXPECT_EQ(out, std::vector<uint8_t>(kComboRecordSize, 0xEE));
    EXPECT_EQ(keyinfo_to_hardware_code(env, big), -1);
  }
  // Folded right-hand modifiers do not count twice.
  EXPECT_EQ(keyinfo_to_hardware_code(env, Combo(0xFF, 0x41)), 5);
  EXPECT_EQ(ComboEventCount(KeyCombo{0xF0, {1, 2, 3}}), 14);
}

TEST(KeyCodes, MediaAndApplicationKeysUseConsumerUsages) {
  TestEnv env;
  const std::vector<uint8_t> volUp = {2, 0x82, 0xE9, 0x00, 0x42, 0xE9, 0x00};
  EXPECT_EQ(Encode(Fun(kFunVolumeUp)), volUp);
  EXPECT_EQ(keyinfo_to_hardware_code(env, Fun(kFunVolumeUp)), 5);
  EXPECT_EQ(Decode(5, env, volUp).dwFunID, kFunVolumeUp);
  EXPECT_EQ(Encode(Fun(kFunAppFavourites)),
            (std::vector<uint8_t>{2, 0x82, 0x2A, 0x02, 0x42, 0x2A, 0x02}));
  EXPECT_EQ(Encode(Fun(kFunMediaSelect))[3], 0x01);
  for (uint32_t fun = kFunMediaSelect; fun <= kFunMute; ++fun)
    EXPECT_EQ(Decode(5, env, Encode(Fun(fun))).dwFunID, fun) << std::hex << fun;
  for (uint32_t fun = kFunAppMail; fun <= kFunAppFavourites; ++fun)
    EXPECT_EQ(Decode(5, env, Encode(Fun(fun))).dwFunID, fun) << std::hex << fun;
  // A function outside the list is written with usage 0xFFFF.
  EXPECT_EQ(Encode(Fun(0x04000029))[2], 0xFF);

  bool ok = true;
  Decode(5, env, {2, 0x82, 0x34, 0x12, 0x42, 0x34, 0x12}, {}, &ok);
  EXPECT_FALSE(ok);
  Decode(5, env, {0, 0x82, 0xE9, 0x00}, {}, &ok);  // no events
  EXPECT_FALSE(ok);
  Decode(5, env, {1, 0x83, 0x04, 0x00}, {}, &ok);  // type 3
  EXPECT_FALSE(ok);
  Decode(5, env, {1, 0x8F, 0x04, 0x00}, {}, &ok);
  EXPECT_FALSE(ok);
}

TEST(KeyCodes, ReadingKeepsThreeKeysAndStopsAtTheFirstRelease) {
  TestEnv env;
  KeyInfo k = Decode(5, env, {6, 0x81, 0x04, 0, 0x81, 0x05, 0, 0x80, 0x24, 0, 0x81, 0x06, 0,
                              0x81, 0x07, 0, 0x41, 0x04, 0});
  EXPECT_EQ(k.stCombo.bKeys[0], 0x41);
  EXPECT_EQ(k.stCombo.bKeys[1], 0x42);
  EXPECT_EQ(k.stCombo.bKeys[2], 0x43);  // the fourth key (D) is dropped
  EXPECT_EQ(k.stCombo.bModifiers, 0x04);  // only the left-hand bits are taken

  k = Decode(5, env, {4, 0x80, 0x01, 0, 0x40, 0x01, 0, 0x81, 0x04, 0, 0x41, 0x04, 0});
  EXPECT_EQ(k.stCombo.bModifiers, 0x01);
  EXPECT_EQ(k.stCombo.bKeys[0], 0);  // after the release nothing counts

  // The record of matrix index 2 is the second 32-byte block of the area.
  std::vector<uint8_t> area(2 * kComboRecordSize, 0);
  area[32] = 2;
  area[33] = 0x81;
  area[34] = 0x1D;
  KeyInfo z;
  z.nMatrix = 2;
  z.dwMacroID = 77;
  ASSERT_TRUE(HardwareCodeToKeyInfo(area, 5, z, env));
  EXPECT_EQ(z.stCombo.bKeys[0], 0x5A);
  EXPECT_EQ(z.dwMacroID, 0u);
  EXPECT_EQ(z.nMatrix, 2u);
  z.nMatrix = 3;  // past the area
  EXPECT_FALSE(HardwareCodeToKeyInfo(area, 5, z, env));
  z.nMatrix = 0;
  EXPECT_FALSE(HardwareCodeToKeyInfo(area, 5, z, env));
}

TEST(KeyCodes, DecodingArbitraryRecordsStaysInsideThem) {
  TestEnv env;
  test::GuardedBytes guard(kComboRecords * kComboRecordSize);
  std::mt19937 rng(777);
  std::vector<uint8_t> bytes(kComboRecords * kComboRecordSize);
  for (int round = 0; round < 20000; ++round) {
    const size_t len = rng() % (round % 2 ? 40 : bytes.size() + 1);
    for (auto& b : bytes) b = uint8_t(rng() % 4 ? rng() : 0x80 | (rng() % 3));
    auto area = guard.Place(std::span(bytes).first(len));
    KeyInfo k;
    k.nMatrix = rng() % 18;
    const uint32_t code = rng() % 4 ? 5 : rng() & 0xFFFFFF;
    if (HardwareCodeToKeyInfo(area, code, k, env, "x") && FunGroup(k.dwFunID) == kGroupKeyboard) {
      // Whatever decodes as keys encodes again within one record.
      std::vector<uint8_t> out(kComboRecordSize);
      ASSERT_LE(KeyInfoToComboData(out, k), 31);
    }
    ComboDataToKeyInfo(area, k);
  }
}

TEST(KeyCodes, KeyNamesCoverNamedKeysAndAUsLayout) {
  const struct {
    uint32_t key;
    const char* name;
  } names[] = {{0x2B, "Enter"}, {0x6C, "\\"},         {0x41, "A"},        {0x63, "Num 3"},
               {0x7B, "F12"},   {0x91, "Scroll Lock"}, {0xF1, "Right"},    {0xF5, "Wheel up"},
               {0xFF, ""},      {0xBA, ";"},           {0xDE, "'"},        {0x07, ""},
               {0x7C, ""} /* F13 makes no character */, {0x161, ""}};
  for (const auto& n : names) EXPECT_EQ(KeyName(n.key, Texts), n.name) << std::hex << n.key;
  EXPECT_EQ(KeyName(0xF1, nullptr), "");

  EXPECT_EQ(ComboLabel(KeyCombo{0x8F, {0x41, 0, 0x70}}, Texts), "Ctrl + Alt + Shift + Win + A + F1");
  EXPECT_EQ(ComboLabel(KeyCombo{0x20, {0, 0, 0}}, Texts), "Shift");
  EXPECT_EQ(ComboLabel(KeyCombo{0x00, {0x07, 0x42, 0}}, Texts), "B");
  EXPECT_EQ(ComboLabel(KeyCombo{}, Texts), "");
}

TEST(KeyCodes, LabelsComeFromTheFunctionTexts) {
  TestEnv env;
  EXPECT_EQ(KeyInfoLabel(Fun(kFunRightClick), env, Texts), "Right");
  EXPECT_EQ(KeyInfoLabel(Combo(0x01, 0x43), env, Texts), "Ctrl + C");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunVolumeUp), env, Texts), "Vol+");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunAppBrowserBack), env, Texts), "Back");  // own text empty
  EXPECT_EQ(KeyInfoLabel(Fun(kFunAppBrowserForward), env, Texts), "Forward");
  EXPECT_EQ(KeyInfoLabel(Fun(0x080000AB), env, Texts), "Thirty-one");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunLightEffectSwitch), env, Texts), "Effects");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunRaw, 0x101), env, Texts), "");
  EXPECT_EQ(KeyInfoLabel(Fun(kFunDpiUp), env, Texts), "");  // no text in the table
  EXPECT_EQ(KeyInfoLabel(Fun(kFunLeftClick), env, nullptr), "");
  // Every function code but the two key codes and the raw code has a text id.
  for (const auto& f : FunctionTable())
    EXPECT_EQ(f.textId.empty(), f.dwFunID == kFunPlainKey || f.dwFunID == kFunRaw)
        << std::hex << f.dwFunID;
}

}  // namespace
}  // namespace tolvane
