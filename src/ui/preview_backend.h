// A backend with two sample devices taken from the catalogue (a wired PRO and
// a wireless PRO+ model), for looking at the window without mice: --preview
// and --screenshot. Reads finish at once; settings and the language choice
// stay in memory (nothing is written to the user's folders).
#pragma once

#include <vector>

#include "config/catalogue.h"
#include "ui/window_backend.h"

namespace tolvane::ui {

// The window's part of cfg.ini.
WindowConfig WindowConfigFrom(const Catalogue& cat, const std::string& programDir);
// A tile for catalogue entry `model` as device-list entry `entry`.
DeviceTile TileFor(const DevCfg& model, int entry, const std::string& programDir);
// Fills the widget kit's style from cfg.ini. High-resolution mode stays off:
// Qt already scales by the screen's device pixel ratio.
void ApplyCatalogueStyle(const Catalogue& cat);

class PreviewBackend : public WindowBackend {
 public:
  PreviewBackend(const Catalogue& cat, const std::string& programDir, EventSink& sink);

  WindowConfig Config() const override { return config_; }
  std::vector<DeviceTile> Devices() const override { return devices_; }
  std::optional<DeviceTile> Device(int entry) const override;
  int CurrentEntry() const override { return current_; }
  Gate CanChangeSettings(int entry) const override;
  uint64_t ChooseDevice(int entry) override;
  void LeaveDevice() override {}
  void WindowShown(bool) override {}
  uint64_t RequestBattery() override;
  void Rescan() override {}
  WindowSettings Settings() const override { return settings_; }
  bool SaveSettings(const WindowSettings& s) override;
  std::vector<std::string> Languages() const override;
  int CurrentLanguage() const override { return language_; }
  bool ChooseLanguage(int index) override;
  void Exit() override;

 private:
  const Catalogue& cat_;
  std::string programDir_;
  EventSink& sink_;
  WindowConfig config_;
  std::vector<DeviceTile> devices_;
  WindowSettings settings_;
  int current_ = -1, language_ = 0;
  uint64_t nextTicket_ = 1;
};

}  // namespace tolvane::ui
