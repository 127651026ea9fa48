#include "shot_rig.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "config/catalogue.h"
#include "ui/dev_dlg.h"
#include "ui/menu_dlg.h"
#include "ui/ui_style.h"

namespace tolvane::tools {

ShotRig::ShotRig(const char* tool, QApplication& app)
    : tool_(tool),
      user_((std::filesystem::temp_directory_path() /
             (std::string(tool) + "-" + std::to_string(::getpid()) + "/"))
                .string()),
      sink_(&app),
      program_(sink_) {
  std::filesystem::create_directories(user_);
}

ShotRig::~ShotRig() {
  sink_.SetHandler({});
  window_.reset();
  backend_.reset();
  program_.Exit();
  std::error_code ec;
  std::filesystem::remove_all(user_, ec);
}

bool ShotRig::Start(const std::string& spec) {
  ProgramOptions o;
  o.userDir = user_;
  o.singleInstance = false;
  o.simulate = {spec};
  o.windowVisible = [] { return true; };
  if (program_.Start(o) != StartResult::Ok || !program_.WaitDevicesSettled(10000)) {
    std::fprintf(stderr, "%s: the program did not start %s\n", tool_,
                 program_.StartError().c_str());
    return false;
  }
  ui::ApplyCatalogueStyle(g_Catalogue());
  ui::LoadMenuPictures();
  backend_ = std::make_unique<ui::ProgramBackend>(program_, sink_);
  ui::CTolvaneDlg::Options wo;
  wo.trayAvailable = [] { return false; };
  window_ = std::make_unique<ui::CTolvaneDlg>(*backend_, wo);
  if (!window_->Ready()) return false;
  // The window hands the core's events on to its pages.
  sink_.SetHandler([this](uint32_t m, uintptr_t w, intptr_t l) { window_->OnEvent(m, w, l); });
  return true;
}

void ShotRig::ShowAndChoose() {
  window_->show();
  QApplication::processEvents();  // each new device opens the device list
  if (window_->DevicePage()->TileCount() > 0)
    window_->OnCurrentDeviceChanged(window_->DevicePage()->TileEntry(0));
  for (int i = 0; i < 1000 && window_->PendingRead() != 0; ++i) Pump(10);
  Pump(50);
}

void ShotRig::Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  } while (std::chrono::steady_clock::now() < end);
}

}  // namespace tolvane::tools
