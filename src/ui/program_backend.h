// The window's backend on the program core: every call is a copy of the
// core's state or the start of an operation whose end arrives as an event.
// Nothing here waits on a mouse; the exit, which joins the core's threads,
// runs on a thread of its own and ends with WM_EXIT_DONE.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "config/catalogue.h"
#include "platform/single_instance.h"
#include "program/battery_notice.h"
#include "ui/window_backend.h"

namespace tolvane {
class Program;
}

namespace tolvane::ui {

// The window's part of cfg.ini.
WindowConfig WindowConfigFrom(const Catalogue& cat, const std::string& programDir);
// A tile for catalogue model `model` as device-list entry `entry`.
DeviceTile TileFor(const DevCfg& model, int entry);
// Fills the widget kit's style from cfg.ini. High-resolution mode stays off:
// Qt already scales by the screen's device pixel ratio.
void ApplyCatalogueStyle(const Catalogue& cat);

// What a later copy of the program sends (the tray notification that shows
// the window) goes to `sink`, which hands it to the window's thread. For
// ProgramOptions::onInstanceMessage; `sink` must outlive the program.
std::function<void(const platform::InstanceMessage&)> ForwardInstanceMessages(EventSink& sink);

class ProgramBackend : public WindowBackend {
 public:
  // `program` has started; its events go to `sink`, which also receives
  // WM_EXIT_DONE. `visible` is what the program's windowVisible option reads.
  ProgramBackend(Program& program, EventSink& sink,
                 std::shared_ptr<std::atomic<bool>> visible = nullptr);
  ~ProgramBackend() override;  // joins the exit thread

  WindowConfig Config() const override { return config_; }
  std::vector<DeviceTile> Devices() const override;
  std::optional<DeviceTile> Device(int entry) const override;
  int CurrentEntry() const override;
  std::string CurrentSkinFolder() const override;
  Gate CanChangeSettings(int entry) const override;
  uint64_t ChooseDevice(int entry) override;
  void LeaveDevice() override;
  void WindowShown(bool shown) override;
  void VisibilityChanged(bool visible) override;
  uint64_t RequestBattery() override;
  int RescanCount() const override;
  bool RescanTimerActive() const override;
  std::vector<std::string> TakeMessages() override;
  WindowSettings Settings() const override;
  bool SaveSettings(const WindowSettings& s) override;
  std::vector<std::string> Languages() const override;
  int CurrentLanguage() const override;
  bool ChooseLanguage(int index) override;
  void SetProgressWindow(std::shared_ptr<EventSink> window) override;
  void Exit() override;

  // True once the exit thread has finished.
  bool ExitDone() const { return exitDone_.load(); }

 private:
  Program& program_;
  EventSink& sink_;
  std::shared_ptr<std::atomic<bool>> visible_;
  WindowConfig config_;
  NoticeSettings notice_;  // read once at start, written when changed
  std::thread exit_;
  std::atomic<bool> exitDone_{false};
};

}  // namespace tolvane::ui
