// Conversions between the program's pointer values and the desktops' own:
// pointer speed 1-20 <-> an acceleration of -1 to 1 (GSettings, libinput,
// KWin, sway), enhanced precision <-> an acceleration profile, scroll lines
// 1-10 <-> a scroll factor (3 lines per notch = factor 1), double-click time
// in the 200-900 ms the pages offer. Pure functions; numbers are written and
// read without the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::platform {

constexpr int kMinSpeed = 1, kMaxSpeed = 20, kDefaultSpeed = 10;
constexpr int kMinScrollLines = 1, kMaxScrollLines = 10;
constexpr int kMinDoubleClick = 200, kMaxDoubleClick = 900;

// Speed 10 is the desktop's default (0); 1 is -1 and 20 is +1, linear on
// each side. Out-of-range speeds are clamped.
double SpeedToAccel(int speed);
// The nearest speed; accelerations outside -1..1 (or not numbers) clamp.
int AccelToSpeed(double accel);

// Enhanced precision is the adaptive profile; off is flat.
std::string_view PrecisionToProfile(bool precision);  // "adaptive" / "flat"
// "adaptive" and the desktop's "default" (adaptive for mice) -> on, "flat" ->
// off, anything else -> none.
std::optional<bool> ProfileToPrecision(std::string_view profile);

// libinput's "Accel Profile Enabled" bytes (adaptive, flat[, custom...]):
// `count` bytes with exactly the chosen profile set; none when count < 2.
std::optional<std::vector<uint8_t>> PrecisionToLibinputBits(bool precision, size_t count);
std::optional<bool> LibinputBitsToPrecision(const std::vector<uint8_t>& bits);

// Scroll lines 1-10 as a factor over the usual 3 lines per notch, and back
// (nearest line, clamped). Page-per-notch (-1) has no factor: none.
std::optional<double> ScrollLinesToFactor(int lines);
int FactorToScrollLines(double factor);
// Scroll lines as a count the desktop stores (kdeglobals): clamped to 1-10;
// none for -1.
std::optional<int> ScrollLinesToCount(int lines);
int CountToScrollLines(int count);

int ClampDoubleClick(int ms);

// A number as text without the locale ("0.25", "-1", "1.333").
std::string FormatNumber(double v);
// A whole text as a number without the locale; none when it is not one.
std::optional<double> ParseNumber(std::string_view text);
std::optional<int> ParseInt(std::string_view text);

}  // namespace tolvane::platform
