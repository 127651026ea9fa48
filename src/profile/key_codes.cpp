#include "profile/key_codes.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "app/log.h"
#include "macro/hd_macro.h"

namespace tolvane {

namespace {

constexpr FunctionInfo kFunctions[] = {
    {kFunLeftClick, "tc_click"},
    {kFunMiddleClick, "tc_middle"},
    {kFunRightClick, "tc_menu"},
    {kFunForward, "tc_forward"},
    {kFunBack, "tc_back"},
    {kFunDoubleClick, "tc_dbclick"},
    {kFunTripleClick, "tc_three"},
    {kFunRightDoubleClick, "tc_rdbclick"},
    {kFunComboKey, "tc_combokey"},
    {kFunPlainKey, ""},
    {kFunAppMail, "tc_kbmedia_mail"},
    {kFunAppCalculator, "tc_kbmedia_cal"},
    {kFunAppMyComputer, "tc_kbmedia_explore"},
    {kFunAppSearch, "tc_kbmedia_search"},
    {kFunAppHomePage, "tc_kbmedia_main"},
    {kFunAppBrowserBack, "tc_kbmedia_back"},
    {kFunAppBrowserForward, "tc_kbmedia_forward"},
    {kFunAppBrowserStop, "tc_kbmedia_stop"},
    {kFunAppBrowserRefresh, "tc_kbmedia_refresh"},
    {kFunAppFavourites, "tc_kbmedia_favor"},
    {kFunMediaSelect, "tc_kbmedia_msel"},
    {kFunPlayPause, "tc_PL"},
    {kFunMediaStop, "tc_stop"},
    {kFunPrevTrack, "tc_pre_media"},
    {kFunNextTrack, "tc_next_media"},
    {kFunVolumeUp, "tc_vol_up"},
    {kFunVolumeDown, "tc_vol_dw"},
    {kFunMute, "tc_mute"},
    {kFunMacro, "tc_mac_def"},
    {kFunDisabled, "tc_key_off"},
    {kFunShift, "tc_shift"},
    {kFunFire, "tc_fire"},
    {kFunSniper, "tc_snipe"},
    {kFunLightOnOff, "tc_rgb"},
    {kFunDpiUp, "tc_dpiadd"},
    {kFunDpiDown, "tc_dpisub"},
    {kFunDpiCycle, "tc_dpiloop"},
    {kFunRateSwitch, "tc_reportsw"},
    {kFunCustom, "tc_customkey"},
    {kFunLightEffectSwitch, "tc_rgbsw"},
    {kFunProfileSwitch, "tc_prosw"},
    {kFunRaw, ""},
};

// Consumer usages of the application and media keys, by the low byte of
// their function code.
struct ConsumerKey {
  uint8_t fun;
  uint16_t usage;
};
constexpr ConsumerKey kConsumerKeys[] = {
    {0x21, 0x183}, {0x22, 0xCD},  {0x23, 0xB7},  {0x24, 0xB6},  {0x25, 0xB5},  {0x26, 0xE9},
    {0x27, 0xEA},  {0x28, 0xE2},  {0x30, 0x18A}, {0x31, 0x192}, {0x32, 0x194}, {0x33, 0x221},
    {0x34, 0x223}, {0x35, 0x224}, {0x36, 0x225}, {0x37, 0x226}, {0x38, 0x227}, {0x39, 0x22A},
};

constexpr uint8_t kLeftModifiers[] = {0x01, 0x02, 0x04, 0x08};

// Modifier bits a record carries: the right-hand keys fold onto the left.
uint8_t EncodedModifiers(const KeyCombo& c) {
  return uint8_t((c.bModifiers | c.bModifiers >> 4) & 0x0F);
}

std::string Text(const TextLookup& texts, std::string_view id) {
  return texts ? texts(id) : std::string();
}

}  // namespace

std::span<const FunctionInfo> FunctionTable() { return kFunctions; }

int KeyCodeEnv::SniperCode(uint32_t) const { return -1; }
int KeyCodeEnv::SniperPosition(uint8_t) const { return -1; }
int KeyCodeEnv::DpiAt(uint32_t) const { return -1; }
std::optional<StMacro> KeyCodeEnv::FindMacro(uint32_t) const { return std::nullopt; }
std::optional<uint32_t> KeyCodeEnv::FindMacroId(std::string_view) const { return std::nullopt; }

int ComboEventCount(const KeyCombo& combo) {
  int n = 0;
  const uint8_t mods = EncodedModifiers(combo);
  for (uint8_t bit : kLeftModifiers) n += (mods & bit) ? 2 : 0;
  for (uint8_t k : combo.bKeys) n += k ? 2 : 0;
  return n;
}

int64_t keyinfo_to_hardware_code(const KeyCodeEnv& env, const KeyInfo& key) {
  const uint32_t low = FunLow(key.dwFunID);
  switch (FunGroup(key.dwFunID)) {
    case kGroupMouse:
      switch (low) {
        case 0x11: return 0x101;
        case 0x13: return 0x201;
        case 0x12: return 0x401;
        case 0x15: return 0x801;
        case 0x14: return 0x1001;
        case 0x16: return kHwDoubleClick;
        case 0x17: return kHwTripleClick;
        default: return -1;
      }
    case kGroupKeyboard: {
      const int events = ComboEventCount(key.stCombo);
      if (events > kMaxComboEvents) {
        LogPrint("keyinfo_to_hardware_code: combination of %d events does not fit", events);
        return -1;
      }
      return kHwCombo;
    }
    case kGroupAppKey:
    case kGroupMedia:
      return kHwCombo;
    case kGroupMacro: {
      const auto macro = env.FindMacro(key.dwMacroID);
      if (!macro) {
        LogPrint("keyinfo_to_hardware_code can't find macro id 0x%x", key.dwMacroID);
        return -1;
      }
      return int64_t(MacroPlayByte(*macro)) * 0x10000 + kHwMacro;
    }
    case kGroupSpecial:
      switch (low) {
        case 0xA2: return 0;
        case 0xA4:
          return 4 + int64_t((key.dwParameter >> 8) & 0xFF) * 0x100 +
                 int64_t(key.dwParameter & 0xFF) * 0x10000;
        case 0xA6: {
          const int code = env.SniperCode(key.dwParameter);
          if (code < 0) return -1;
          return int64_t(code & 0xFF) * 0x100 + kHwSniper;
        }
        case 0xA7: return 8;
        case 0xA8: return 0x202;
        case 0xA9: return 0x302;
        case 0xAA: return 0x102;
        case 0xAC: return 7;
        case 0xAD: return key.dwParameter;
        case 0xAE: return 0x408;
        case 0xB0: return 9;
        default: return -1;
      }
    case kGroupRaw:
      return key.dwParameter;
    default:
      return -1;
  }
}

bool HardwareCodeToKeyInfo(std::span<const uint8_t> comboArea, uint32_t code, KeyInfo& key,
                           const KeyCodeEnv& env, std::string_view macroName) {
  const uint32_t matrix = key.nMatrix;
  key = KeyInfo{};
  key.nMatrix = matrix;
  switch (code) {
    case 0: key.dwFunID = kFunDisabled; return true;
    case 5: {
      if (matrix == 0 || matrix > uint32_t(kComboRecords)) return false;
      const size_t start = size_t(matrix - 1) * kComboRecordSize;
      if (start >= comboArea.size()) return false;
      const auto rec = comboArea.subspan(start, std::min(kComboRecordSize, comboArea.size() - start));
      if (!ComboDataToKeyInfo(rec, key)) {
        key = KeyInfo{};
        key.nMatrix = matrix;
        return false;
      }
      return true;
    }
    case 7: key.dwFunID = kFunRateSwitch; return true;
    case 8: key.dwFunID = kFunLightOnOff; return true;
    case 9: key.dwFunID = kFunProfileSwitch; return true;
    case 0x101: key.dwFunID = kFunLeftClick; return true;
    case 0x201: key.dwFunID = kFunRightClick; return true;
    case 0x401: key.dwFunID = kFunMiddleClick; return true;
    case 0x801: key.dwFunID = kFunBack; return true;
    case 0x1001: key.dwFunID = kFunForward; return true;
    case 0x102: key.dwFunID = kFunDpiCycle; return true;
    case 0x202: key.dwFunID = kFunDpiUp; return true;
    case 0x302: key.dwFunID = kFunDpiDown; return true;
    case 0x408: key.dwFunID = kFunLightEffectSwitch; return true;
    case kHwDoubleClick: key.dwFunID = kFunDoubleClick; return true;
    case kHwTripleClick: key.dwFunID = kFunTripleClick; return true;
    default: break;
  }
  switch (code & 0xFF) {
    case kHwMacro: {
      key.dwFunID = kFunMacro;
      const auto id = env.FindMacroId(macroName);
      key.dwMacroID = id ? *id : 0xFFEE00 + (matrix - 1);
      return true;
    }
    case kHwFire:
      key.dwFunID = kFunFire;
      key.dwParameter = (code & 0xFF00) + ((code >> 16) & 0xFF);
      return true;
    case kHwSniper:
      key.dwFunID = kFunSniper;
      key.dwParameter = uint32_t(env.SniperPosition(uint8_t(code >> 8)));
      return true;
    default:
      return false;
  }
}

int KeyInfoToComboData(std::span<uint8_t> out, const KeyInfo& key) {
  uint8_t buf[1 + 3 * 14] = {};
  int n = 0;
  auto event = [&](uint8_t type, uint8_t code, uint8_t third) {
    buf[1 + 3 * n] = type;
    buf[2 + 3 * n] = code;
    buf[3 + 3 * n] = third;
    ++n;
  };
  switch (FunGroup(key.dwFunID)) {
    case kGroupKeyboard: {
      if (ComboEventCount(key.stCombo) > kMaxComboEvents) {
        LogPrint("KeyInfoToComboData: combination of %d events does not fit",
                 ComboEventCount(key.stCombo));
        return -1;
      }
      const uint8_t mods = EncodedModifiers(key.stCombo);
      for (uint8_t bit : kLeftModifiers)
        if (mods & bit) event(kComboModDown, bit, 0);
      for (uint8_t k : key.stCombo.bKeys)
        if (k) event(kComboKeyDown, VkToHid(k), 0);
      for (uint8_t bit : kLeftModifiers)
        if (mods & bit) event(kComboModUp, bit, 0);
      for (int i = 2; i >= 0; --i)
        if (uint8_t k = key.stCombo.bKeys[i]) event(kComboKeyUp, VkToHid(k), 0);
      break;
    }
    case kGroupAppKey:
    case kGroupMedia: {
      uint16_t usage = 0xFFFF;
      for (const auto& c : kConsumerKeys)
        if (c.fun == FunLow(key.dwFunID)) usage = c.usage;
      event(kComboConsumerDown, uint8_t(usage), uint8_t(usage >> 8));
      event(kComboConsumerUp, uint8_t(usage), uint8_t(usage >> 8));
      break;
    }
    default:
      return 0;
  }
  buf[0] = uint8_t(n);
  const size_t len = 1 + 3 * size_t(n);
  if (out.size() < len) return -1;
  std::memcpy(out.data(), buf, len);
  return int(len);
}

bool ComboDataToKeyInfo(std::span<const uint8_t> record, KeyInfo& key) {
  if (record.size() < 4 || record[0] == 0) return false;
  const size_t n = std::min<size_t>(record[0], (record.size() - 1) / 3);
  const uint8_t* r = record.data();
  switch (r[1] & 0x0F) {
    case 2: {
      const uint16_t usage = uint16_t(r[2] | r[3] << 8);
      for (const auto& c : kConsumerKeys) {
        if (c.usage == usage) {
          key.dwFunID = (c.fun >= 0x30 ? kGroupAppKey : kGroupMedia) << 24 | c.fun;
          return true;
        }
      }
      return false;
    }
    case 0:
    case 1:
      break;
    default:
      return false;
  }
  key.dwFunID = uint32_t(kGroupKeyboard) << 24;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t type = r[1 + 3 * i], code = r[2 + 3 * i];
    if ((type & 0xC0) == 0x40) break;  // the release part begins
    if (type & 0x0F) {
      for (uint8_t& k : key.stCombo.bKeys) {
        if (k == 0) {
          k = HidToVk(code);
          break;
        }
      }
    } else {
      key.stCombo.bModifiers |= uint8_t(code & 0x0F);
    }
  }
  return true;
}

std::string ComboLabel(const KeyCombo& combo, const TextLookup& texts) {
  std::string out;
  auto part = [&](const std::string& s) {
    if (s.empty()) return;
    if (!out.empty()) out += " + ";
    out += s;
  };
  const uint8_t m = combo.bModifiers;
  if (m & 0x11) part("Ctrl");
  if (m & 0x44) part("Alt");
  if (m & 0x22) part("Shift");
  if (m & 0x88) part("Win");
  for (uint8_t k : combo.bKeys)
    if (k) part(KeyName(k, texts));
  return out;
}

std::string KeyInfoLabel(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts) {
  const uint32_t group = FunGroup(key.dwFunID), low = FunLow(key.dwFunID);
  if (group == kGroupMacro) {
    const auto macro = env.FindMacro(key.dwMacroID);
    if (!macro) return Text(texts, "tc_msg11");
    return Text(texts, "tc_msg25") + " - " + GetMacroName(*macro);
  }
  if (group == kGroupKeyboard) return ComboLabel(key.stCombo, texts);
  if (low == 0xA6) {
    const int dpi = env.DpiAt(key.dwParameter);
    std::string label = Text(texts, "tc_snipe");
    return dpi < 0 ? label : label + " - " + std::to_string(dpi);
  }
  if (low == 0xAB) return Text(texts, "tc_msg31");
  for (const auto& f : kFunctions) {
    // The macro group was answered above; its code would match raw codes here.
    if (f.textId.empty() || FunGroup(f.dwFunID) == kGroupMacro || FunLow(f.dwFunID) != low)
      continue;
    std::string label = Text(texts, f.textId);
    if (label.empty() && low == 0x35) return Text(texts, "tc_back");
    if (label.empty() && low == 0x36) return Text(texts, "tc_forward");
    return label;
  }
  return {};
}

}  // namespace tolvane
