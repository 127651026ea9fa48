// A scriptable WindowBackend: devices appear and vanish, reads and battery
// requests are answered when the test says so (from any thread), and every
// call is counted.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "ui/window_backend.h"

namespace tolvane::ui::test {

class FakeBackend : public WindowBackend {
 public:
  explicit FakeBackend(EventSink* sink = nullptr) : sink_(sink) {}
  void SetSink(EventSink* sink) { sink_ = sink; }

  // ---- script
  WindowConfig config;
  WindowSettings settings;
  bool saveFails = false;
  Gate gate = Gate::Ok;
  std::vector<std::string> languages{"English", "Deutsch"};
  // text.xml of each language; when given, a choice loads it into the text table.
  std::vector<std::string> languageFiles;
  // Adds a device and posts WM_NEW_DEVICE (and a plug arrival).
  void Plug(const DeviceTile& t, bool postArrival = true);
  // Removes a device and posts the removal.
  void Unplug(int entry);
  // Answers the last ChooseDevice (WM_SYNC_OK).
  void FinishRead(bool ok = true);
  void AnswerBattery(int level, bool charging);
  void Post(uint32_t msg, uintptr_t w, intptr_t l) {
    if (sink_) sink_->Post(msg, w, l);
  }

  // ---- what the window asked
  int chooseCalls = 0, leaveCalls = 0, batteryCalls = 0, rescanCalls = 0, exitCalls = 0,
      saveCalls = 0;
  std::vector<bool> shownCalls;
  uint64_t lastReadTicket = 0, lastBatteryTicket = 0;

  // ---- WindowBackend
  WindowConfig Config() const override { return config; }
  std::vector<DeviceTile> Devices() const override;
  std::optional<DeviceTile> Device(int entry) const override;
  int CurrentEntry() const override { return current_; }
  Gate CanChangeSettings(int) const override { return gate; }
  uint64_t ChooseDevice(int entry) override;
  void LeaveDevice() override { ++leaveCalls; }
  void WindowShown(bool shown) override { shownCalls.push_back(shown); }
  uint64_t RequestBattery() override;
  void Rescan() override { ++rescanCalls; }
  WindowSettings Settings() const override { return settings; }
  bool SaveSettings(const WindowSettings& s) override;
  std::vector<std::string> Languages() const override { return languages; }
  int CurrentLanguage() const override { return language_; }
  bool ChooseLanguage(int index) override;
  void Exit() override;

 private:
  EventSink* sink_;
  mutable std::mutex mutex_;
  std::vector<DeviceTile> devices_;
  int current_ = -1, language_ = 0;
  uint64_t nextTicket_ = 1;
};

// A tile with the given entry and name.
DeviceTile MakeTile(int entry, const std::string& name, bool wireless = false);

}  // namespace tolvane::ui::test
