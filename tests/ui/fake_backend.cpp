#include "fake_backend.h"

#include <algorithm>

#include "config/texts.h"

namespace tolvane::ui::test {

DeviceTile MakeTile(int entry, const std::string& name, bool wireless) {
  DeviceTile t;
  t.entry = entry;
  t.modelName = name;
  t.connected = true;
  t.wireless = wireless;
  t.wiredVer = 0x0105;
  t.wirelessVer = wireless ? 0x0110 : 0;
  t.hasMainLight = true;
  t.readsBattery = true;
  return t;
}

void FakeBackend::Plug(const DeviceTile& t) {
  {
    std::lock_guard lock(mutex_);
    devices_.push_back(t);
    std::sort(devices_.begin(), devices_.end(),
              [](const DeviceTile& a, const DeviceTile& b) { return a.entry < b.entry; });
  }
  Post(WM_NEW_DEVICE, uintptr_t(t.entry), 0);
}

void FakeBackend::Unplug(int entry) {
  bool wasCurrent = false;
  {
    std::lock_guard lock(mutex_);
    devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                  [&](const DeviceTile& t) { return t.entry == entry; }),
                   devices_.end());
    wasCurrent = current_ == entry;
  }
  if (wasCurrent) Post(WM_CURRENT_REMOVED, uintptr_t(entry), 0);
  Post(WM_DEVICE_LIST_CHANGED, uintptr_t(entry), 0);
}

void FakeBackend::FinishRead(bool ok) {
  if (ok) Post(WM_SYNC_OK, 0, 0);
  Post(WM_OPERATION_DONE, uintptr_t(lastReadTicket), ok ? 1 : 0);
}

void FakeBackend::AnswerBattery(int level, bool charging) {
  Post(WM_BATTERY, uintptr_t(current_), BatteryParam(level, charging));
  Post(WM_OPERATION_DONE, uintptr_t(lastBatteryTicket), 1);
}

void FakeBackend::QueueMessage(const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
  }
  Post(WM_PROGRAM_MESSAGE, 0, 0);
}

std::vector<std::string> FakeBackend::TakeMessages() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> m;
  m.swap(messages_);
  return m;
}

std::vector<DeviceTile> FakeBackend::Devices() const {
  std::lock_guard lock(mutex_);
  return devices_;
}

std::optional<DeviceTile> FakeBackend::Device(int entry) const {
  std::lock_guard lock(mutex_);
  for (const DeviceTile& t : devices_)
    if (t.entry == entry) return t;
  return std::nullopt;
}

uint64_t FakeBackend::ChooseDevice(int entry) {
  ++chooseCalls;
  std::lock_guard lock(mutex_);
  current_ = entry;
  lastReadTicket = nextTicket_++;
  return lastReadTicket;
}

uint64_t FakeBackend::RequestBattery() {
  ++batteryCalls;
  lastBatteryTicket = nextTicket_++;
  return lastBatteryTicket;
}

bool FakeBackend::SaveSettings(const WindowSettings& s) {
  ++saveCalls;
  if (saveFails) return false;
  settings = s;
  return true;
}

bool FakeBackend::ChooseLanguage(int index) {
  if (index < 0 || size_t(index) >= languages.size()) return false;
  if (size_t(index) < languageFiles.size()) Texts().Load(languageFiles[size_t(index)]);
  language_ = index;
  return true;
}

void FakeBackend::Exit() {
  ++exitCalls;
  Post(WM_EXIT_DONE, 0, 0);
}

}  // namespace tolvane::ui::test
