// The quiet low-battery notice: once per discharge, when a wireless mouse
// reports a level below 15% while it is not charging; a reading while it
// charges arms the notice again. Its on/off setting lives in a file of its
// own in the user data folder, beside gSetting.dct (whose 8 bytes stay as
// they are).
#pragma once

#include <mutex>
#include <set>
#include <string>

namespace tolvane {

constexpr int kLowBatteryPercent = 15;
constexpr const char* kNoticeSettingsName = "notice.ini";

class LowBatteryWatch {
 public:
  // One battery reading of the device `key` (e.g. its model): true when the
  // notice is due now. Levels above 100 (no reading) are ignored.
  bool Reading(const std::string& key, int level, bool charging);

 private:
  std::mutex mu_;
  std::set<std::string> given_;  // devices noticed since they last charged
};

struct NoticeSettings {
  bool bLowBattery = true;
  bool operator==(const NoticeSettings&) const = default;
};

// From `userDataDir` + "notice.ini"; a missing or unreadable file gives the
// defaults (notice on).
NoticeSettings LoadNoticeSettings(const std::string& userDataDir);
// Writes the file through a temporary file and a rename; 0 or an errno.
int SaveNoticeSettings(const std::string& userDataDir, const NoticeSettings& s);

}  // namespace tolvane
