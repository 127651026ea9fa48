#include "platform/desktop/pointer_mapping.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tolvane::platform {

double SpeedToAccel(int speed) {
  speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
  if (speed <= kDefaultSpeed) return double(speed - kDefaultSpeed) / (kDefaultSpeed - kMinSpeed);
  return double(speed - kDefaultSpeed) / (kMaxSpeed - kDefaultSpeed);
}

int AccelToSpeed(double accel) {
  if (std::isnan(accel)) return kDefaultSpeed;
  accel = std::clamp(accel, -1.0, 1.0);
  const double span = accel <= 0 ? kDefaultSpeed - kMinSpeed : kMaxSpeed - kDefaultSpeed;
  return std::clamp(int(std::lround(kDefaultSpeed + accel * span)), kMinSpeed, kMaxSpeed);
}

std::string_view PrecisionToProfile(bool precision) { return precision ? "adaptive" : "flat"; }

std::optional<bool> ProfileToPrecision(std::string_view profile) {
  if (profile == "adaptive" || profile == "default") return true;
  if (profile == "flat") return false;
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> PrecisionToLibinputBits(bool precision, size_t count) {
  if (count < 2) return std::nullopt;
  std::vector<uint8_t> bits(count, 0);
  bits[precision ? 0 : 1] = 1;
  return bits;
}

std::optional<bool> LibinputBitsToPrecision(const std::vector<uint8_t>& bits) {
  if (bits.size() < 2) return std::nullopt;
  if (bits[0] && !bits[1]) return true;
  if (bits[1] && !bits[0]) return false;
  return std::nullopt;
}

std::optional<double> ScrollLinesToFactor(int lines) {
  if (lines == -1) return std::nullopt;
  return std::clamp(lines, kMinScrollLines, kMaxScrollLines) / 3.0;
}

int FactorToScrollLines(double factor) {
  if (std::isnan(factor)) return 3;
  const double lines = std::clamp(factor * 3.0, double(kMinScrollLines), double(kMaxScrollLines));
  return int(std::lround(lines));
}

std::optional<int> ScrollLinesToCount(int lines) {
  if (lines == -1) return std::nullopt;
  return std::clamp(lines, kMinScrollLines, kMaxScrollLines);
}

int CountToScrollLines(int count) { return std::clamp(count, kMinScrollLines, kMaxScrollLines); }

int ClampDoubleClick(int ms) { return std::clamp(ms, kMinDoubleClick, kMaxDoubleClick); }

std::string FormatNumber(double v) {
  // Three decimals are finer than any slider step; trailing zeros go.
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
  if (ec != std::errc()) return "0";
  std::string s(buf, end);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::optional<double> ParseNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return v;
}

std::optional<int> ParseInt(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return v;
}

}  // namespace tolvane::platform
