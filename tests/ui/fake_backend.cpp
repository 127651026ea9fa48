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

void FakeBackend::Plug(const DeviceTile& t, bool postArrival) {
  {
    std::lock_guard lock(mutex_);
    devices_.push_back(t);
    std::sort(devices_.begin(), devices_.end(),
              [](const DeviceTile& a, const DeviceTile& b) { return a.entry < b.entry; });
  }
  if (postArrival) Post(WM_DEVICE_CHANGE, kDeviceArrived, -1);
  Post(WM_NEW_DEVICE, uintptr_t(t.entry), 0);
}

void FakeBackend::Unplug(int entry) {
  {
    std::lock_guard lock(mutex_);
    devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                  [&](const DeviceTile& t) { return t.entry == entry; }),
                   devices_.end());
    if (current_ == entry) current_ = -1;
  }
  Post(WM_DEVICE_CHANGE, kDeviceRemoved, entry);
}

void FakeBackend::FinishRead(bool ok) { Post(WM_SYNC_OK, uintptr_t(lastReadTicket), ok ? 1 : 0); }

void FakeBackend::AnswerBattery(int level, bool charging) {
  Post(WM_BATTERY, uintptr_t(lastBatteryTicket), intptr_t(level & 0xFF) | (charging ? 0x100 : 0));
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
