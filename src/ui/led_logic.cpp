#include "ui/led_logic.h"

#include <cstdio>

namespace tolvane::ui {

const std::vector<EffectItem>& MainEffects() {
  static const std::vector<EffectItem> v = {
      {1, "tc_led_mode1"}, {2, "tc_led_mode2"}, {3, "tc_led_mode3"}, {4, "tc_led_mode4"},
      {5, "tc_led_mode5"}, {6, "tc_led_mode6"}, {0, "tc_led_mode7"}};
  return v;
}

const std::vector<EffectItem>& LogoEffects() {
  static const std::vector<EffectItem> v = {
      {1, "tc_led_mode1"}, {2, "tc_led_mode2"}, {3, "tc_led_mode4"}, {0, "tc_led_mode7"}};
  return v;
}

const LedOption& MainEffectOption(const std::array<LedOption, kLedOptions>& opts, int mode) {
  if (mode >= 1 && mode <= kLedOptions - 1) return opts[size_t(mode - 1)];
  return opts[kLedOptions - 1];
}

EffectControls MainEffectControls(const std::array<LedOption, kLedOptions>& opts, int mode) {
  const LedOption& o = MainEffectOption(opts, mode);
  return {o.B != 0, o.A != 0, o.E != 0};
}

EffectControls LogoEffectControls(int mode) {
  switch (mode) {
    case 1: return {true, false, true};
    case 2: return {true, true, true};
    case 3: return {true, true, false};
    default: return {};
  }
}

EffectStart MainEffectStart(const std::array<LedOption, kLedOptions>& opts, int mode) {
  const LedOption& o = MainEffectOption(opts, mode);
  EffectStart s;
  if (o.A) s.speed = o.A > 10 ? 10 : o.A;
  if (o.B) s.brightness = o.B > 10 ? 10 : o.B;
  return s;
}

const std::array<uint32_t, 14>& PresetColors() {
  static const std::array<uint32_t, 14> c = {0x0000FF, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x00FFFF,
                                             0x0050FF, 0xFF0000, 0x7F00E4, 0xE0A72E, 0x861960,
                                             0xFFFFFF, 0x24B38C, 0x339CFF, 0xAE71D1};
  return c;
}

std::string ColorCode(uint32_t bgr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06x", unsigned(bgr & 0xFFFFFF));
  return buf;
}

uint32_t ComposeColor(int red, int green, int blue) {
  auto c = [](int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
  return c(red) + c(green) * 0x100 + c(blue) * 0x10000;
}

ChannelText ReadChannel(const std::string& text) {
  ChannelText t;
  long v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') break;
    v = v * 10 + (ch - '0');
    if (v > 255) {
      t.value = 255;
      t.replaced = true;
      return t;
    }
  }
  t.value = int(v);
  return t;
}

}  // namespace tolvane::ui
