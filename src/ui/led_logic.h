// The rules of the lighting page without pixels: which controls an effect
// shows, the values an effect starts with, the preset colours and the colour
// code text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/catalogue.h"

namespace tolvane::ui {

struct EffectControls {
  bool brightness = false, speed = false, color = false;
  bool operator==(const EffectControls&) const = default;
};

// An effect and its menu text id.
struct EffectItem {
  int mode = 0;
  const char* textId = "";
};
const std::vector<EffectItem>& MainEffects();
const std::vector<EffectItem>& LogoEffects();

// The lighting-effect options entry of a main effect (effect 0 uses the last).
const LedOption& MainEffectOption(const std::array<LedOption, kLedOptions>& opts, int mode);
EffectControls MainEffectControls(const std::array<LedOption, kLedOptions>& opts, int mode);
EffectControls LogoEffectControls(int mode);

// Speed and brightness a main effect starts with when the user chooses it;
// an effect without one keeps 1 so the device never gets table position 0.
struct EffectStart {
  int speed = 1, brightness = 1;
};
EffectStart MainEffectStart(const std::array<LedOption, kLedOptions>& opts, int mode);

// The 14 cells of the colour grid, row by row (0x00BBGGRR).
const std::array<uint32_t, 14>& PresetColors();

// "#%06x" of the colour value.
std::string ColorCode(uint32_t bgr);
uint32_t ComposeColor(int red, int green, int blue);
// What an R/G/B edit holds after the user typed `text`: the number, with
// anything above 255 replaced by 255 (replaced tells the edit to show it).
struct ChannelText {
  int value = 0;
  bool replaced = false;
};
ChannelText ReadChannel(const std::string& text);

}  // namespace tolvane::ui
