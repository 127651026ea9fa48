#include "ui/window_logic.h"

#include <QUrl>

#include <algorithm>
#include <cstdlib>

namespace tolvane::ui {

QString VersionText(uint32_t v) {
  return QString::asprintf("V%x.%x.%x", (v >> 8) & 0xF, (v >> 4) & 0xF, v & 0xF);
}

QString TitleText(const QString& title, uint32_t drvVer) {
  return title + QLatin1Char(' ') + VersionText(drvVer);
}

TitleStrip MakeTitleStrip(const QString& title, uint32_t drvVer, int page, uint16_t wiredVer,
                          uint16_t wirelessVer) {
  TitleStrip s;
  s.title = TitleText(title, drvVer);
  s.centred = page == kPageDevices;
  if (s.centred) return s;
  s.titleShift = (wiredVer != 0 && wirelessVer != 0) ? 50 : 0;
  s.showFirmware = true;
  if (wiredVer != 0) s.firmware += QString::asprintf("Mouse V%04x   ", wiredVer);
  if (wirelessVer != 0) s.firmware += QString::asprintf("Receiver V%04x", wirelessVer);
  return s;
}

int TabOfPage(int page) {
  switch (page) {
    case kPageDevices: return 0;
    case kPageButtons: return 1;
    case kPageDpi: return 2;
    case kPageMacros: return 3;
    case kPageLighting: return 4;
    default: return -1;
  }
}

int PageOfTab(int tab) {
  static constexpr int kPageOf[kTabs] = {kPageDevices, kPageButtons, kPageDpi, kPageMacros,
                                         kPageLighting};
  return (tab >= 0 && tab < kTabs) ? kPageOf[tab] : kPageDevices;
}

TabState TabsFor(const TabFacts& f) {
  TabState t;
  t.visible[0] = true;
  const bool devicePage = f.page >= kPageButtons && f.page <= kPageLighting;
  const bool pageTabs = devicePage && f.anyDevice;
  for (int i = 1; i < 4; ++i) t.visible[i] = pageTabs;
  t.visible[4] = pageTabs && (f.mainLight || f.logoLight);
  t.checked = TabOfPage(f.page);
  return t;
}

int FrameDelayMs(int pictureDelayMs) { return std::max(pictureDelayMs, kMinFrameDelayMs); }

int ClampProgress(int value, int minimum, int maximum) {
  if (value < minimum) return minimum;
  if (value > maximum) return maximum;
  return value;
}

int ProgressFillRight(int pos, int minimum, int maximum, int left, int right) {
  if (maximum <= minimum) return left;
  pos = ClampProgress(pos, minimum, maximum);
  return (pos - minimum) * (right - left) / (maximum - minimum) + left;
}

int BatteryPictureLevel(int level) {
  level = std::clamp(level, 0, 100);
  return level < 20 ? 10 : 10 * (level / 10);
}

void ChargeAnimation::Set(int level, bool charging) {
  level_ = std::clamp(level, 0, 100);
  const bool was = charging_;
  charging_ = charging;
  if (!charging) {
    running_ = false;
  } else if (level_ >= 100) {
    running_ = false;  // full: the animation ends on the full picture
    frame_ = 100;
  } else if (!was || !running_) {
    running_ = true;
    frame_ = 10;
  }
}

void ChargeAnimation::Tick() {
  if (!running_) return;
  frame_ += 20;
  if (frame_ > 100) frame_ = 10;
}

StartView DecideStartView(bool startHidden, bool trayAvailable) {
  if (!startHidden) return StartView::Shown;
  return trayAvailable ? StartView::TrayOnly : StartView::Minimized;
}

MinimizeAction DecideMinimize(bool trayAvailable) {
  return trayAvailable ? MinimizeAction::HideToTray : MinimizeAction::Iconify;
}

bool IsOpenableUrl(const QString& text) {
  const QUrl url(text.trimmed(), QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) return false;
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::string WindowUsage() {
  return "usage: tolvane [options]\n"
         "  --data-dir DIR       installation data folder (cfg.ini, skins, texts)\n"
         "  --user-dir DIR       per-user data folder (stores, settings, macros)\n"
         "  --simulate SPEC      add a virtual mouse (repeatable)\n"
         "  -s                   start hidden in the tray (the log-on entry passes it)\n"
         "  --preview            the window on two virtual mice (a wired PRO, a wireless PRO+)\n"
         "  --screenshot FILE    save the window as a PNG and exit\n"
         "  --page N             page of the screenshot (0 devices, 5 settings)\n"
         "  --gallery            show every widget of the kit on the skin\n"
         "  --version            print the version and exit\n"
         "  --help               print this help and exit\n";
}

ParsedArgs ParseWindowArgs(const std::vector<std::string>& args, const std::string& version) {
  ParsedArgs r;
  WindowOptions o;
  auto usageError = [&](const std::string& why) {
    r.options.reset();
    r.exitCode = 2;
    r.err = "tolvane: " + why + "\n" + WindowUsage();
    return r;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= args.size()) return false;
      *into = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      r.out = WindowUsage();
      return r;
    } else if (a == "--version") {
      r.out = "tolvane " + version + "\n";
      return r;
    } else if (a == "-s") {
      o.startHidden = true;
    } else if (a == "--gallery") {
      o.gallery = true;
    } else if (a == "--preview") {
      o.preview = true;
    } else if (a == "--data-dir" || a == "--user-dir" || a == "--simulate" || a == "--screenshot") {
      if (!value(&v) || v.empty()) return usageError(a + " needs a value");
      if (a == "--data-dir") o.dataDir = v;
      else if (a == "--user-dir") o.userDir = v;
      else if (a == "--simulate") o.simulate.push_back(v);
      else o.screenshot = v;
    } else if (a == "--page") {
      if (!value(&v)) return usageError("--page needs a value");
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 0 || n > 5) return usageError("--page takes 0 to 5");
      o.page = int(n);
    } else {
      return usageError("unknown argument '" + a + "'");
    }
  }
  if (o.gallery && o.preview) return usageError("--gallery and --preview exclude each other");
  r.options = o;
  return r;
}

}  // namespace tolvane::ui
