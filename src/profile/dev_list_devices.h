// The device list as the profile session sees it: the main window's current
// entry, its device object, model and DPI level.
#pragma once

#include "device/dev_list.h"
#include "profile/profile_session.h"

namespace tolvane {

class DevListSessionDevices : public SessionDevices {
 public:
  explicit DevListSessionDevices(CDevList& list) : list_(list) {}
  SessionDevice Current() const override { return At(list_.Current()); }
  SessionDevice At(int index) const override {
    if (index < 0 || size_t(index) >= list_.Size()) return {};
    DevEntryView v = list_.View(size_t(index));
    return {index, v.pDev, v.pDevCfg};
  }
  void SetCurrent(int index) override { list_.SetCurrent(index); }
  int CurDpiLevel(int index) const override {
    if (index < 0 || size_t(index) >= list_.Size()) return 0;
    return list_.View(size_t(index)).nCurDpiLevel;
  }
  // The level is the device object's; an entry without one has none to set.
  void SetCurDpiLevel(int index, int level) override {
    if (index < 0 || size_t(index) >= list_.Size()) return;
    if (std::shared_ptr<CHidDev> dev = list_.Device(size_t(index))) dev->nCurDpiLevel = level;
  }

 private:
  CDevList& list_;
};

}  // namespace tolvane
