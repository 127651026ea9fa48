// The pointer settings of the desktop the program runs on, chosen at start
// from the environment: GNOME (GSettings), KDE Plasma (KWin over D-Bus on
// Wayland, XInput on X11, kdeglobals for double-click time and scroll
// lines), sway (its IPC socket), a plain X11 session (XInput), or none.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/pointer_settings.h"

namespace tolvane::platform {

enum class DesktopKind { kNone, kGnome, kKdeWayland, kKdeX11, kSway, kX11 };
const char* DesktopKindName(DesktopKind kind);

// What the choice looks at: XDG_CURRENT_DESKTOP, and whether WAYLAND_DISPLAY,
// DISPLAY and SWAYSOCK are set. TOLVANE_POINTER_SETTINGS=none leaves the
// desktop alone whatever it is (test runs set it, so that no test changes the
// pointer of the desktop it runs on).
struct DesktopEnv {
  std::string currentDesktop;
  bool wayland = false;
  bool x11 = false;
  bool swaySocket = false;
  bool leaveAlone = false;
};
DesktopEnv DesktopEnvFromProcess();
DesktopKind ChooseDesktop(const DesktopEnv& env);

// A desktop that lets us change nothing: capabilities empty, setters do
// nothing, Current() holds the defaults.
class NoPointerSettings : public PointerSettings {
 public:
  PointerValues Current() const override { return {}; }
  PointerCapabilities Capabilities() const override { return {0, 0}; }
  void SetDoubleClickTime(int) override {}
  void SetScrollLines(int) override {}
  void SetAcceleration(bool) override {}
  void SetPointerSpeed(int) override {}
  void SetTrails(int) override {}
};

// Several backends as one: each value is read from and written to the first
// part that can read or set it.
class CombinedPointerSettings : public PointerSettings {
 public:
  explicit CombinedPointerSettings(std::vector<std::unique_ptr<PointerSettings>> parts);
  PointerValues Current() const override;
  PointerCapabilities Capabilities() const override;
  void SetDoubleClickTime(int ms) override;
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool enhance) override;
  void SetPointerSpeed(int speed) override;
  void SetTrails(int trails) override;

 private:
  PointerSettings* Setter(unsigned bit) const;
  std::vector<std::unique_ptr<PointerSettings>> parts_;
};

// The backend for `kind` (session bus, default display and schemas).
std::unique_ptr<PointerSettings> MakePointerSettingsFor(DesktopKind kind);

// The backend of a desktop kind, built on first use (and then logged), so
// that a run that never touches the pointer settings opens no bus or display.
class DeferredPointerSettings : public PointerSettings {
 public:
  explicit DeferredPointerSettings(DesktopKind kind) : kind_(kind) {}
  PointerValues Current() const override { return Get().Current(); }
  PointerCapabilities Capabilities() const override { return Get().Capabilities(); }
  void SetDoubleClickTime(int ms) override { Get().SetDoubleClickTime(ms); }
  void SetScrollLines(int lines) override { Get().SetScrollLines(lines); }
  void SetAcceleration(bool enhance) override { Get().SetAcceleration(enhance); }
  void SetPointerSpeed(int speed) override { Get().SetPointerSpeed(speed); }
  void SetTrails(int trails) override { Get().SetTrails(trails); }

 private:
  PointerSettings& Get() const;
  DesktopKind kind_;
  mutable std::once_flag once_;
  mutable std::unique_ptr<PointerSettings> impl_;
};

// The backend for this process's desktop, chosen now from the environment.
std::unique_ptr<PointerSettings> MakeDesktopPointerSettings();

}  // namespace tolvane::platform
