#include "platform/desktop/desktop_pointer.h"

#include <cstdlib>
#include <string_view>

#include "app/log.h"
#include "platform/desktop/gnome_pointer.h"
#include "platform/desktop/kde_globals.h"
#include "platform/desktop/kwin_pointer.h"
#include "platform/desktop/sway_pointer.h"
#include "platform/desktop/xinput_pointer.h"

namespace tolvane::platform {

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Whether the colon-separated desktop list names `want` (ASCII, any case).
bool ListNames(std::string_view list, std::string_view want) {
  while (!list.empty()) {
    const size_t colon = list.find(':');
    std::string_view item = list.substr(0, colon);
    if (item.size() == want.size()) {
      bool same = true;
      for (size_t i = 0; i < item.size() && same; ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        same = lower(item[i]) == lower(want[i]);
      }
      if (same) return true;
    }
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return false;
}

}  // namespace

const char* DesktopKindName(DesktopKind kind) {
  switch (kind) {
    case DesktopKind::kGnome: return "GNOME";
    case DesktopKind::kKdeWayland: return "KDE Plasma (Wayland)";
    case DesktopKind::kKdeX11: return "KDE Plasma (X11)";
    case DesktopKind::kSway: return "sway";
    case DesktopKind::kX11: return "X11";
    case DesktopKind::kNone: break;
  }
  return "none";
}

DesktopEnv DesktopEnvFromProcess() {
  DesktopEnv env;
  if (const char* d = std::getenv("XDG_CURRENT_DESKTOP")) env.currentDesktop = d;
  env.wayland = EnvSet("WAYLAND_DISPLAY");
  env.x11 = EnvSet("DISPLAY");
  env.swaySocket = EnvSet("SWAYSOCK");
  const char* leave = std::getenv("TOLVANE_POINTER_SETTINGS");
  env.leaveAlone = leave && std::string_view(leave) == "none";
  return env;
}

DesktopKind ChooseDesktop(const DesktopEnv& env) {
  if (env.leaveAlone) return DesktopKind::kNone;
  const std::string_view list = env.currentDesktop;
  if (ListNames(list, "GNOME")) return DesktopKind::kGnome;
  if (ListNames(list, "KDE")) {
    if (env.wayland) return DesktopKind::kKdeWayland;
    return env.x11 ? DesktopKind::kKdeX11 : DesktopKind::kNone;
  }
  if (env.swaySocket) return DesktopKind::kSway;
  // Under another Wayland compositor the X server only serves X clients: its
  // pointer settings would not reach the desktop.
  if (env.x11 && !env.wayland) return DesktopKind::kX11;
  return DesktopKind::kNone;
}

CombinedPointerSettings::CombinedPointerSettings(
    std::vector<std::unique_ptr<PointerSettings>> parts)
    : parts_(std::move(parts)) {}

PointerSettings* CombinedPointerSettings::Setter(unsigned bit) const {
  for (const auto& p : parts_)
    if (p->Capabilities().CanSet(bit)) return p.get();
  return nullptr;
}

PointerCapabilities CombinedPointerSettings::Capabilities() const {
  PointerCapabilities caps{0, 0};
  for (const auto& p : parts_) {
    const PointerCapabilities c = p->Capabilities();
    caps.read |= c.read;
    caps.set |= c.set;
  }
  return caps;
}

PointerValues CombinedPointerSettings::Current() const {
  PointerValues v;
  unsigned done = 0;
  for (const auto& p : parts_) {
    const PointerCapabilities c = p->Capabilities();
    const unsigned take = c.read & ~done;
    if (!take) continue;
    const PointerValues got = p->Current();
    if (take & kPointerSpeed) v.nPointerSpeed = got.nPointerSpeed;
    if (take & kPointerPrecision) v.bEnhancePrecision = got.bEnhancePrecision;
    if (take & (kPointerScrollLines | kPointerScrollPage)) v.nScrollLines = got.nScrollLines;
    if (take & kPointerDoubleClick) v.nDoubleClickTime = got.nDoubleClickTime;
    if (take & kPointerTrails) v.nTrails = got.nTrails;
    done |= take;
    if (take & (kPointerScrollLines | kPointerScrollPage))
      done |= kPointerScrollLines | kPointerScrollPage;
  }
  return v;
}

void CombinedPointerSettings::SetDoubleClickTime(int ms) {
  if (auto* p = Setter(kPointerDoubleClick)) p->SetDoubleClickTime(ms);
}
void CombinedPointerSettings::SetScrollLines(int lines) {
  if (auto* p = Setter(ScrollBitFor(lines))) p->SetScrollLines(lines);
}
void CombinedPointerSettings::SetAcceleration(bool enhance) {
  if (auto* p = Setter(kPointerPrecision)) p->SetAcceleration(enhance);
}
void CombinedPointerSettings::SetPointerSpeed(int speed) {
  if (auto* p = Setter(kPointerSpeed)) p->SetPointerSpeed(speed);
}
void CombinedPointerSettings::SetTrails(int trails) {
  if (auto* p = Setter(kPointerTrails)) p->SetTrails(trails);
}

std::unique_ptr<PointerSettings> MakePointerSettingsFor(DesktopKind kind) {
  std::vector<std::unique_ptr<PointerSettings>> parts;
  switch (kind) {
    case DesktopKind::kGnome:
      return std::make_unique<GnomePointerSettings>();
    case DesktopKind::kKdeWayland:
      // KWin's scroll factor reaches every program; kdeglobals' scroll lines
      // would multiply with it in Qt programs, so KWin comes first.
      parts.push_back(std::make_unique<KWinPointerSettings>());
      parts.push_back(std::make_unique<KdeGlobalsPointerSettings>(KdeGlobalsPath()));
      return std::make_unique<CombinedPointerSettings>(std::move(parts));
    case DesktopKind::kKdeX11:
      parts.push_back(std::make_unique<XInputPointerSettings>());
      parts.push_back(std::make_unique<KdeGlobalsPointerSettings>(KdeGlobalsPath()));
      return std::make_unique<CombinedPointerSettings>(std::move(parts));
    case DesktopKind::kSway:
      return std::make_unique<SwayPointerSettings>(SwaySocketPath());
    case DesktopKind::kX11:
      return std::make_unique<XInputPointerSettings>();
    case DesktopKind::kNone:
      break;
  }
  return std::make_unique<NoPointerSettings>();
}

PointerSettings& DeferredPointerSettings::Get() const {
  std::call_once(once_, [this] {
    impl_ = MakePointerSettingsFor(kind_);
    const PointerCapabilities c = impl_->Capabilities();
    LogPrint("PointerSettings: desktop=%s read=0x%x set=0x%x", DesktopKindName(kind_), c.read,
             c.set);
  });
  return *impl_;
}

std::unique_ptr<PointerSettings> MakeDesktopPointerSettings() {
  return std::make_unique<DeferredPointerSettings>(ChooseDesktop(DesktopEnvFromProcess()));
}

}  // namespace tolvane::platform
