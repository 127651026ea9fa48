#include "ui/adv_logic.h"

#include <cstdio>
#include <cstdlib>

namespace tolvane::ui {

std::optional<int> SnapToTable(const std::vector<int>& table, int value) {
  if (table.empty()) return std::nullopt;
  int best = table[0];
  for (int v : table) {
    if (v == value) return v;
    if (std::labs(long(v) - value) < std::labs(long(best) - value)) best = v;
  }
  return best;
}

std::optional<LevelXY> LevelAfterRelease(LevelXY current, bool separate, int thumb, int value) {
  LevelXY next = current;
  if (thumb == 2) {
    if (!separate) return std::nullopt;
    next.y = value;
  } else {
    next.x = value;
    if (!separate) next.y = value;
  }
  if (next == current) return std::nullopt;
  return next;
}

std::optional<LevelXY> LevelAfterInput(LevelXY current, bool separate, bool yValue,
                                       const std::vector<int>& table, int typed) {
  const std::optional<int> v = SnapToTable(table, typed);
  if (!v || *v == 0) return std::nullopt;
  LevelXY next = current;
  if (!separate) next = {*v, *v};
  else if (yValue) next.y = *v;
  else next.x = *v;
  return next;
}

std::string DpiPromptTitle(const std::string& dpiText, int minimum, int maximum) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "   (%d ~ %d)", minimum, maximum);
  return dpiText + buf;
}

std::vector<RateRadio> RateRadios(bool fourK) {
  std::vector<RateRadio> r = {{125, "125"}, {250, "250"}, {500, "500"}, {1000, "1K"}};
  if (fourK) {
    r.push_back({2000, "2K"});
    r.push_back({4000, "4K"});
  }
  return r;
}

namespace {
int HzOf(uint32_t rate) {
  // 0x125 reads as 125: the hex digits are the decimal rate.
  int hz = 0;
  for (int shift = 12; shift >= 0; shift -= 4) {
    const uint32_t d = (rate >> shift) & 0xF;
    if (d > 9) return 0;
    hz = hz * 10 + int(d);
  }
  return rate > 0xFFFF ? 0 : hz;
}
}  // namespace

int RateRadioOf(const std::vector<RateRadio>& radios, uint32_t rate) {
  const int hz = HzOf(rate);
  for (size_t i = 0; i < radios.size(); ++i)
    if (radios[i].hz == hz) return int(i);
  return -1;
}

uint32_t ShownRate(uint32_t rate, bool wired) { return wired && rate > 0x1000 ? 0x1000 : rate; }

ScrollControls ScrollToControls(int lines) {
  if (lines == -1) return {3, true};
  return {SnapPointerValue(ScrollLinesTable(), lines), false};
}

int ScrollFromControls(const ScrollControls& c) { return c.pagePerNotch ? -1 : c.lines; }

const std::vector<int>& PointerSpeedTable() {
  static const std::vector<int> t = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
  return t;
}
const std::vector<int>& DoubleClickTable() {
  static const std::vector<int> t = {900, 830, 760, 690, 620, 550, 480, 410, 340, 270, 200};
  return t;
}
const std::vector<int>& ScrollLinesTable() {
  static const std::vector<int> t = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  return t;
}

int SnapPointerValue(const std::vector<int>& table, int value) {
  return SnapToTable(table, value).value_or(value);
}

std::string SleepItemText(int secondsValue, const std::string& minutes, const std::string& seconds) {
  if (secondsValue >= 60) return std::to_string(secondsValue / 60) + " " + minutes;
  return std::to_string(secondsValue) + " " + seconds;
}

}  // namespace tolvane::ui
