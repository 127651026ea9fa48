// KDE's kdeglobals: [KDE] DoubleClickInterval (ms) and WheelScrollLines, read
// by every KDE and Qt program. A change is written through the crash-safe
// file replacement and then announced with the signal notifyChange(3, 0)
// (settings changed, mouse) of org.kde.KGlobalSettings on /KGlobalSettings.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/gio_util.h"
#include "platform/pointer_settings.h"

namespace tolvane::platform {

// $XDG_CONFIG_HOME/kdeglobals, or ~/.config/kdeglobals.
std::string KdeGlobalsPath();

// The value of `key` in group `group` of a KDE configuration text (names are
// case-sensitive; the first occurrence counts), or none.
std::optional<std::string> FindConfigValue(std::string_view text, std::string_view group,
                                           std::string_view key);
// The text with `key` in `group` set to `value`: an existing entry is
// replaced in place, a missing one is added at the end of its group, a
// missing group at the end of the text. Everything else stays as it was.
std::string SetConfigValue(std::string_view text, std::string_view group, std::string_view key,
                           std::string_view value);

class KdeGlobalsPointerSettings : public PointerSettings {
 public:
  // `busAddress` empty: the session bus (for the change notice).
  explicit KdeGlobalsPointerSettings(std::string path, const std::string& busAddress = "");

  PointerValues Current() const override;
  PointerCapabilities Capabilities() const override;
  void SetDoubleClickTime(int ms) override;
  void SetScrollLines(int lines) override;
  void SetAcceleration(bool) override {}
  void SetPointerSpeed(int) override {}
  void SetTrails(int) override {}

 private:
  void Write(const char* key, int value);
  std::mutex mutable mu_;
  std::string path_;
  GObjectPtr<GDBusConnection> bus_;
};

}  // namespace tolvane::platform
