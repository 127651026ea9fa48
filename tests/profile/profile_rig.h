// Test rig of the profile reader and writer: a catalogue model, a virtual
// mouse of it on the simulated transport with a device object on top, and a
// record of every EEPROM write the host sent.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/log.h"
#include "config/catalogue.h"
#include "device/dev_pro.h"
#include "device/link_options.h"
#include "profile/profile_device.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/test_models.h"

namespace tolvane::test {

// A model with every page switch on; buttons 0-5 on matrix 1, 2, 3, 5, 6, 7.
inline DevCfg ProfileModel(uint32_t fw, uint32_t sensor = 0x3395) {
  DevCfg m;
  std::snprintf(m.szName, sizeof m.szName, "Test %u", fw);
  m.nCid = 0x30 + fw;
  m.nMid = 0x01;
  m.nFw = fw;
  m.nSensor = sensor;
  m.nDM = 4;
  const uint32_t dpi[4] = {400, 800, 1600, 3200};
  for (int i = 0; i < 4; ++i) m.dwDpi[i] = dpi[i];
  for (int i = 0; i < 8; ++i) m.dwDpiColor[i] = 0x0000FFu << (8 * (i % 3));
  m.nDefRate = 0x1000;
  m.nKeyCount = 6;
  m.bShowLOD = m.bShowDpi = m.bShowDpiColor = m.bShowUsbRate = m.bShowRipple = 1;
  m.bShowFixLine = m.bShowDpiLED = m.bShowMainEffect = m.bShowLogoEffect = m.bShowSleep = 1;
  m.bShowDebounce = 1;
  m.nDebounce = 8;
  m.dwDpiLEDMode = 0x030502;
  m.nSleepTime = 120;
  m.keys[0][0] = {0x01000011, 1, 0, {}, 0, 0};
  m.keys[0][1] = {0x01000013, 2, 0, {}, 0, 0};
  m.keys[0][2] = {0x01000012, 3, 0, {}, 0, 0};
  m.keys[0][3] = {0x01000015, 5, 0, {}, 0, 0};
  m.keys[0][4] = {0x01000014, 6, 0, {}, 0, 0};
  m.keys[0][5] = {0x080000AA, 7, 0, {}, 0, 0};
  for (int t = 1; t < kKeyModes; ++t)
    for (int b = 0; b < kMaxKeys; ++b) m.keys[t][b] = m.keys[0][b];
  return m;
}

struct Write {
  uint16_t addr;
  int len;
  bool operator==(const Write&) const = default;
};
inline std::ostream& operator<<(std::ostream& o, const Write& w) {
  return o << "{0x" << std::hex << w.addr << std::dec << "," << w.len << "}";
}

// Progress messages.
class Progress : public EventSink {
 public:
  void Post(uint32_t msg, uintptr_t w, intptr_t) override {
    std::lock_guard<std::mutex> l(mu_);
    if (msg == WM_PROGRESS) got_.push_back(int(w));
  }
  std::vector<int> Got() {
    std::lock_guard<std::mutex> l(mu_);
    return got_;
  }

 private:
  std::mutex mu_;
  std::vector<int> got_;
};

struct ProfileRig {
  explicit ProfileRig(uint32_t fw, const DevCfg& m = {}, const std::string& extra = "")
      : model(m.InUse() ? m : ProfileModel(fw)) {
    g_Catalogue().sensors.Build(false);
    sim::SimCatalogue cat;
    cat.models = {model};
    cat.vids = {0x3A3A};
    cat.wiredPids = {0x1001};
    char spec[96];
    std::snprintf(spec, sizeof spec, "%s:cid=%x,mid=%x%s", fw ? "pro+" : "pro", model.nCid,
                  model.nMid, extra.c_str());
    std::string err;
    mouse = sim::MakeVirtualMouse(spec, cat, &err);
    EXPECT_TRUE(mouse) << err;
    transport.SetTrace([this](TraceDir d, const Report& r) {
      if (d != TraceDir::ToDevice) return;
      std::lock_guard<std::mutex> g(mu);
      ++reports;
      if (r[1] == kCmdWriteEEPROM) writes.push_back({uint16_t(r[3] << 8 | r[4]), r[5]});
      if (r[1] == kCmdCommit) ++commits;
    });
    transport.Plug(mouse);
    auto [cmd, notify] = OpenByRole(transport, fw != 0);
    EXPECT_TRUE(cmd);
    if (fw)
      dev = std::make_unique<CDevProPlus>();
    else
      dev = std::make_unique<CDevPro>();
    dev->pDevCfg = &model;
    dev->SetHandles(std::move(cmd), std::move(notify));
    dev->StartService();
  }
  ~ProfileRig() {
    if (dev) dev->ClearHandle();
  }

  void Poke(uint16_t addr, const std::vector<uint8_t>& bytes) { mouse->PokeEeprom(addr, bytes); }
  std::vector<uint8_t> Bytes(uint16_t addr, size_t n) {
    const sim::Eeprom e = mouse->EepromCopy();
    return std::vector<uint8_t>(e.begin() + addr, e.begin() + addr + long(n));
  }
  std::vector<Write> Writes() {
    std::lock_guard<std::mutex> g(mu);
    return writes;
  }
  void ClearWrites() {
    std::lock_guard<std::mutex> g(mu);
    writes.clear();
    commits = 0;
  }
  // A profile as the device holds it now.
  ProfileFile Read(MacroLibrary* lib = nullptr, int* result = nullptr) {
    ProfileFile f;
    f.dwID = 0x123456;
    const int r = GetProfile(*dev, &f, lib);
    if (result)
      *result = r;
    else
      EXPECT_EQ(r, 1);
    return f;
  }

  DevCfg model;
  sim::SimTransport transport;
  std::shared_ptr<sim::VirtualMouse> mouse;
  std::unique_ptr<CHidDev> dev;
  std::mutex mu;
  std::vector<Write> writes;
  int reports = 0, commits = 0;
};

// Pacing off for the life of the object.
struct NoPacing {
  NoPacing() { SetProfilePacing(false); }
  ~NoPacing() { SetProfilePacing(true); }
};

}  // namespace tolvane::test
