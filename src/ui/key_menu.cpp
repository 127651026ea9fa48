#include "ui/key_menu.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/sensor.h"

namespace tolvane::ui {

namespace {

struct Item {
  const char* textId;
  uint32_t value;
};

const Item kMedia[] = {
    {"tc_kbmedia_msel", kFunMediaSelect},     {"tc_PL", kFunPlayPause},
    {"tc_next_media", kFunNextTrack},         {"tc_pre_media", kFunPrevTrack},
    {"tc_stop", kFunMediaStop},               {"tc_mute", kFunMute},
    {"tc_vol_up", kFunVolumeUp},              {"tc_vol_dw", kFunVolumeDown},
    {"tc_kbmedia_mail", kFunAppMail},         {"tc_kbmedia_cal", kFunAppCalculator},
    {"tc_kbmedia_explore", kFunAppMyComputer}, {"tc_kbmedia_main", kFunAppHomePage},
    {"tc_kbmedia_search", kFunAppSearch},     {"tc_kbmedia_stop", kFunAppBrowserStop},
    {"tc_kbmedia_refresh", kFunAppBrowserRefresh}, {"tc_kbmedia_favor", kFunAppFavourites},
};

const Item kDpi[] = {{"tc_dpiadd", kFunDpiUp}, {"tc_dpisub", kFunDpiDown}, {"tc_dpiloop", kFunDpiCycle}};

KeyMenuEntry Entry(const Item& it, const TextLookup& texts, uint32_t group = kTopLevel) {
  return {group, it.value, it.textId, texts ? texts(it.textId) : std::string()};
}

bool DefaultsCarry(const DevCfg& model, uint32_t fun) {
  for (const KeyInfo& k : model.keys[0])
    if (k.dwFunID == fun) return true;
  return false;
}

}  // namespace

std::vector<KeyMenuEntry> SniperMenu(const SensorCfg* sensor) {
  std::vector<KeyMenuEntry> out;
  if (!sensor) return out;
  const int count = std::clamp(int(sensor->nCount), 0, kMaxSensorDpi);
  for (int dpi = 100; dpi <= 1100; dpi += 100) {
    for (int n = 0; n < count; ++n) {
      if (sensor->nDpi[n] != dpi) continue;
      out.push_back({kTopLevel, kFunSniper + uint32_t(n) * 0x100, {}, std::to_string(dpi)});
      break;
    }
  }
  return out;
}

uint32_t SniperIndexOf(uint32_t menuValue) { return (menuValue >> 8) & 0xFFFF; }

std::vector<KeyMenuEntry> BuildKeyMenu(const DevCfg& model, const KeyMenuFacts& facts,
                                       const TextLookup& texts) {
  std::vector<KeyMenuEntry> dpiSub, mediaSub;
  for (int bit = 0; bit < 3; ++bit)
    if (model.dwDpiMenuMask & (1u << bit)) dpiSub.push_back(Entry(kDpi[bit], texts));
  for (const Item& it : kMedia) {
    KeyMenuEntry e = Entry(it, texts);
    if (it.value == kFunAppBrowserStop && e.text.empty()) continue;
    mediaSub.push_back(e);
  }
  std::vector<KeyMenuEntry> sniperSub = SniperMenu(facts.sensor);

  std::vector<KeyMenuEntry> top;
  auto add = [&](const char* id, uint32_t value) { top.push_back(Entry({id, value}, texts)); };
  add("tc_click", kFunLeftClick);
  add("tc_menu", kFunRightClick);
  add("tc_middle", kFunMiddleClick);
  add("tc_forward", kFunForward);
  add("tc_back", kFunBack);
  if (model.bShowRGBSw && (model.bShowMainEffect || model.bShowLogoEffect))
    add("tc_rgb", kFunLightOnOff);
  if (facts.showProfileSwitch) add("tc_prosw", kFunProfileSwitch);
  add("tc_combokey", kFunComboKey);
  if (DefaultsCarry(model, kFunLightEffectSwitch)) add("tc_rgbsw", kFunLightEffectSwitch);
  add("tc_key_off", kFunDisabled);
  add("tc_mac_def", kFunMacro);

  std::vector<KeyMenuEntry> subs;
  auto parent = [&](const char* id, uint32_t value, std::vector<KeyMenuEntry>& items) {
    if (items.empty()) return;  // a heading that would open nothing
    const uint32_t owner = uint32_t(top.size());
    add(id, value);
    for (KeyMenuEntry& e : items) {
      e.group = owner;
      subs.push_back(e);
    }
  };
  parent("tc_dpi", kFunHeadingDpi, dpiSub);
  parent("tc_media", kFunHeadingMedia, mediaSub);
  parent("tc_adv_str28", kFunSniper, sniperSub);
  top.insert(top.end(), subs.begin(), subs.end());
  return top;
}

MenuChoice DecideChoice(uint32_t v) {
  MenuChoice c;
  if (FunGroup(v) == kGroupMacro) {
    c.kind = ChoiceKind::Macro;
  } else if (FunGroup(v) == kGroupKeyboard) {
    c.kind = ChoiceKind::Combination;
  } else if (FunGroup(v) == kGroupSpecial && (v & 0xFF) == 0xA6) {
    c.key.dwFunID = kFunSniper;
    c.key.dwParameter = SniperIndexOf(v);
  } else {
    c.key.dwFunID = v;
  }
  return c;
}

std::optional<KeyInfo> ComboAssignment(const KeyCombo& combo) {
  if (combo.bModifiers == 0 && combo.bKeys[0] == 0 && combo.bKeys[1] == 0 && combo.bKeys[2] == 0)
    return std::nullopt;
  KeyInfo k;
  k.dwFunID = combo.bModifiers != 0 ? kFunComboKey : kFunPlainKey;
  k.stCombo = combo;
  return k;
}

bool IsUnknownAssignment(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts) {
  return KeyInfoLabel(key, env, texts).empty();
}

std::string AssignmentName(const KeyInfo& key, const KeyCodeEnv& env, const TextLookup& texts) {
  std::string name = KeyInfoLabel(key, env, texts);
  if (!name.empty()) return name;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", unsigned(key.dwFunID));
  std::string word = texts ? texts("tc_key_unknown") : std::string();
  if (word.empty()) word = "Unknown";
  return word + " (" + code + ")";
}

std::string IconName(uint32_t fun) {
  const uint32_t type = FunGroup(fun), code = fun & 0xFF;
  if (type == kGroupKeyboard) return "ICO_keycombination_nr.png";
  if (type == kGroupAppKey || type == kGroupMedia) return "ICO_multimedia_nr.png";
  if (type == kGroupMacro) return "ICO_macro_nr.png";
  if (type == kGroupSpecial && code >= 0xA8 && code <= 0xAA) return "ICO_DPI_nr.png";
  switch (code) {
    case 0x11: return "ICO_leftclick_nr.png";
    case 0x12: return "ICO_wheelclick_nr.png";
    case 0x13: return "ICO_rightclick_nr.png";
    case 0x14: return "ICO_forward_nr.png";
    case 0x15: return "ICO_back_nr.png";
    case 0xA2: return "ICO_disable_nr.png";
    case 0xA4: return "ICO_leftclick_nr.png";
    case 0xA5:
    case 0xA6: return "ICO_DPI_nr.png";
    case 0xA7: return "ICO_rgb_nr.png";
    case 0xAC: return "ICO_pollingrate_nr.png";
    default: return {};
  }
}

MenuPlace PlaceKeyMenu(const Rect& hot, int menuW, int menuItems, int screenBottom) {
  int left = hot.left, right = hot.right;
  if (menuW > 0 && right - left < menuW) {
    const int grow = menuW - (right - left);
    left -= grow / 2;
    right = left + menuW;
  }
  MenuPlace p;
  p.x = left;
  p.width = right - left - 4;
  const int drop = menuItems * 20;
  p.y = screenBottom < hot.bottom + drop ? hot.top - drop : hot.bottom;
  return p;
}

const std::vector<int>& SensorSleepValues() {
  static const std::vector<int> kValues = {1, 2, 3, 6, 12, 18, 24, 30, 36, 42, 48, 54, 60};
  return kValues;
}

std::string SensorSleepLabel(int v) {
  if (v < 6) return std::to_string(v * 10) + " sec";
  return std::to_string(v * 10 / 60) + " min";
}

std::string WithQxaSuffix(const std::string& path) {
  if (path.empty()) return path;
  if (path.size() >= 4) {
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (tail == ".qxa") return path;
  }
  return path + ".qxa";
}

}  // namespace tolvane::ui
