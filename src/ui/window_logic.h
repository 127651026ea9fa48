// The main window's rules without pixels: title strip texts, tab and page
// rules, the wait-animation timing, the progress and
// battery values, the tray policy and the command line of `tolvane`.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::ui {

// ------------------------------------------------------------ title strip

// "%s V%x.%x.%x" with the three hexadecimal digits (bits 8-11, 4-7, 0-3).
QString TitleText(const QString& title, uint32_t drvVer);
// "V%x.%x.%x" (the settings page's version).
QString VersionText(uint32_t drvVer);

struct TitleStrip {
  QString title;
  bool centred = true;     // page 0: centred in (0, 4)-(1070, 28)
  int titleShift = 0;      // right-aligned title moved left by this (50 with both versions)
  bool showFirmware = false;
  QString firmware;        // "Mouse V%04x   " and/or "Receiver V%04x"
};
// The strip for `page` and the current entry's versions.
TitleStrip MakeTitleStrip(const QString& title, uint32_t drvVer, int page, uint16_t wiredVer,
                          uint16_t wirelessVer);

// ------------------------------------------------------------ tabs and pages

enum Page { kPageDevices = 0, kPageButtons, kPageMacros, kPageDpi, kPageLighting, kPageSettings };
constexpr int kPages = 6;
constexpr int kTabs = 5;

// The tab that opens `page`, -1 for the settings page (the help button).
int TabOfPage(int page);
// The page tab `tab` opens.
int PageOfTab(int tab);

struct TabFacts {
  int page = 0;                // the page being shown
  bool anyDevice = false;      // some entry has a device object
  bool mainLight = false;      // the current model has a main light
  bool logoLight = false;      // ... a logo light
};
struct TabState {
  bool visible[kTabs] = {};
  int checked = -1;            // the tab shown as checked, -1 none
};
// Tab 1 is always shown; tabs 2-4 on pages 1-4 when a device exists; tab 5
// likewise but only for a model with a main or logo light.
TabState TabsFor(const TabFacts& f);

// ------------------------------------------------------------ wait animation

constexpr int kWaitOpenDelayMs = 200;    // after a device is chosen
constexpr int kMinFrameDelayMs = 20;     // no animation frame is shorter
// A frame's delay as the window uses it.
int FrameDelayMs(int pictureDelayMs);

// ------------------------------------------------------------ progress

// The position the progress dialog keeps: below the range the minimum, above
// it the maximum.
int ClampProgress(int value, int minimum, int maximum);
// The right edge of the fill for `pos` on a bar from `left` to `right`.
int ProgressFillRight(int pos, int minimum, int maximum, int left, int right);

// ------------------------------------------------------------ battery

// The level picture's number: 10 below 20, else 10 * (level / 10); the
// level is taken within 0..100.
int BatteryPictureLevel(int level);

// The charging animation: starts at 10, +20 every 1400 ms, back to 10 after
// passing 100. A charging battery that reports 100 is full: the animation
// stops at 100 and the percentage shows.
class ChargeAnimation {
 public:
  static constexpr int kIntervalMs = 1400;
  void Set(int level, bool charging);
  void Tick();
  bool Running() const { return running_; }
  int Frame() const { return frame_; }
  bool ShowsPercent() const { return !charging_ || !running_; }
  int Level() const { return level_; }
  bool Charging() const { return charging_; }

 private:
  int level_ = 0, frame_ = 10;
  bool charging_ = false, running_ = false;
};

// ------------------------------------------------------------ tray policy

enum class StartView { Shown, TrayOnly, Minimized };
// A hidden start lives in the tray; with no tray it shows minimised instead.
StartView DecideStartView(bool startHidden, bool trayAvailable);
// The minimise button: hide into the tray, or iconify when there is none.
enum class MinimizeAction { HideToTray, Iconify };
MinimizeAction DecideMinimize(bool trayAvailable);

// ------------------------------------------------------------ support link

// Only http and https addresses are opened.
bool IsOpenableUrl(const QString& url);

// ------------------------------------------------------------ command line

struct WindowOptions {
  std::string dataDir, userDir;
  std::vector<std::string> simulate;  // --simulate SPEC, in order
  bool startHidden = false;           // -s
  bool gallery = false;               // --gallery: the widget gallery
  std::string screenshot;             // --screenshot FILE
  int page = 0;                       // --page N (with --screenshot)
  bool preview = false;               // --preview: the window on two virtual mice
};
struct ParsedArgs {
  std::optional<WindowOptions> options;  // empty: exit with `exitCode`
  int exitCode = 0;
  std::string out;  // what to print on stdout (help, version)
  std::string err;  // what to print on stderr (usage errors)
};
ParsedArgs ParseWindowArgs(const std::vector<std::string>& args, const std::string& version);
std::string WindowUsage();

}  // namespace tolvane::ui
