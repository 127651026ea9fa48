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
  // Adds a device and posts WM_NEW_DEVICE, as discovery does.
  void Plug(const DeviceTile& t);
  // Removes a device and posts what the core posts: WM_CURRENT_REMOVED for
  // the current entry, WM_DEVICE_LIST_CHANGED for another.
  void Unplug(int entry);
  // Ends the last ChooseDevice: WM_SYNC_OK when read, then WM_OPERATION_DONE.
  void FinishRead(bool ok = true);
  // WM_BATTERY for the current entry, then the request's WM_OPERATION_DONE.
  void AnswerBattery(int level, bool charging);
  // Queues a message for the user and announces it (WM_PROGRAM_MESSAGE).
  void QueueMessage(const std::string& text);
  int rescanCount = 0;
  bool rescanTimer = false;
  std::string currentSkinFolder;  // the model the core works on
  void Post(uint32_t msg, uintptr_t w, intptr_t l) {
    if (sink_) sink_->Post(msg, w, l);
  }

  // ---- what the window asked
  int chooseCalls = 0, leaveCalls = 0, batteryCalls = 0, exitCalls = 0, saveCalls = 0;
  std::vector<bool> shownCalls;
  uint64_t lastReadTicket = 0, lastBatteryTicket = 0;

  // ---- WindowBackend
  WindowConfig Config() const override { return config; }
  std::vector<DeviceTile> Devices() const override;
  std::optional<DeviceTile> Device(int entry) const override;
  int CurrentEntry() const override { return current_; }
  std::string CurrentSkinFolder() const override { return currentSkinFolder; }
  Gate CanChangeSettings(int) const override { return gate; }
  uint64_t ChooseDevice(int entry) override;
  void LeaveDevice() override { ++leaveCalls; }
  void WindowShown(bool shown) override { shownCalls.push_back(shown); }
  uint64_t RequestBattery() override;
  int RescanCount() const override { return rescanCount; }
  bool RescanTimerActive() const override { return rescanTimer; }
  std::vector<std::string> TakeMessages() override;
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
  std::vector<std::string> messages_;
  int current_ = -1, language_ = 0;
  uint64_t nextTicket_ = 1;
};

// A tile with the given entry and name.
DeviceTile MakeTile(int entry, const std::string& name, bool wireless = false);

}  // namespace tolvane::ui::test
