#include "program/battery_notice.h"

#include "app/log.h"
#include "config/ini_file.h"
#include "app/atomic_file.h"

namespace tolvane {

bool LowBatteryWatch::Reading(const std::string& key, int level, bool charging) {
  if (level < 0 || level > 100) return false;
  std::lock_guard<std::mutex> l(mu_);
  if (charging) {
    given_.erase(key);
    return false;
  }
  if (level >= kLowBatteryPercent || given_.count(key)) return false;
  given_.insert(key);
  return true;
}

NoticeSettings LoadNoticeSettings(const std::string& userDataDir) {
  NoticeSettings s;
  IniFile ini;
  if (!ini.Load(userDataDir + kNoticeSettingsName)) return s;
  s.bLowBattery = ini.GetInt("Notice", "LowBattery", 1) != 0;
  return s;
}

int SaveNoticeSettings(const std::string& userDataDir, const NoticeSettings& s) {
  const std::string text =
      std::string("[Notice]\nLowBattery=") + (s.bLowBattery ? "1" : "0") + "\n";
  const int err = WriteFileReplacing(userDataDir + kNoticeSettingsName, text.data(), text.size());
  if (err != 0) LogPrint("SaveNoticeSettings: err=%d", err);
  return err;
}

}  // namespace tolvane
