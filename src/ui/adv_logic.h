// The rules of the DPI and performance page without pixels: the level bars'
// values, snapping to a table, the number prompt's title, the report-rate
// radios, the pointer controls and the sleep labels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::ui {

// The table entry nearest to `value`, the first of two equally near; an exact
// entry is taken as it is. Nothing for an empty table.
std::optional<int> SnapToTable(const std::vector<int>& table, int value);

// The values of one DPI level.
struct LevelXY {
  int x = 0, y = 0;
  bool operator==(const LevelXY&) const = default;
};

// A thumb (1: X, 2: Y) of a level bar was released at `value`. Without X/Y
// separation thumb 1 sets both values and thumb 2 changes nothing. Nothing
// when the level stays as it is.
std::optional<LevelXY> LevelAfterRelease(LevelXY current, bool separate, int thumb, int value);

// A number typed for a level, snapped to the sensor's list and applied to the
// X or the Y value (both without separation); nothing when the list is empty.
std::optional<LevelXY> LevelAfterInput(LevelXY current, bool separate, bool yValue,
                                       const std::vector<int>& table, int typed);

// "%s   (%d ~ %d)": the title of the DPI number prompt.
std::string DpiPromptTitle(const std::string& dpiText, int minimum, int maximum);

// One report-rate radio: its rate in Hz and the label's number ("1K").
struct RateRadio {
  int hz = 0;
  const char* label = "";
};
// The radios a device shows: 125 to 1000 Hz, and 2K and 4K on 4K devices.
std::vector<RateRadio> RateRadios(bool fourK);
// The radio of a rate value (0x125 .. 0x4000) among `radios`; -1 for none.
int RateRadioOf(const std::vector<RateRadio>& radios, uint32_t rate);
// The rate shown for a profile's value: a device on a wire runs at most 1000 Hz.
uint32_t ShownRate(uint32_t rate, bool wired);

// Pointer controls: scroll lines as the slider and the one-page toggle show them.
struct ScrollControls {
  int lines = 3;
  bool pagePerNotch = false;
  bool operator==(const ScrollControls&) const = default;
};
ScrollControls ScrollToControls(int lines);
int ScrollFromControls(const ScrollControls& c);

// The values of the pointer-speed and double-click sliders, and the lines
// of the scroll slider.
const std::vector<int>& PointerSpeedTable();
const std::vector<int>& DoubleClickTable();
const std::vector<int>& ScrollLinesTable();
// A desktop value on a slider: its table entry, or the nearest one.
int SnapPointerValue(const std::vector<int>& table, int value);

// A light-sleep list item ("%d %s"): 60 seconds or more as minutes with
// `minutes`, less as seconds with `seconds`.
std::string SleepItemText(int secondsValue, const std::string& minutes, const std::string& seconds);

}  // namespace tolvane::ui
