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
#include "support/event_recorder.h"
#include "support/test_models.h"

namespace tolvane::test {

// A model with every page switch on; buttons 0-5 on matrix 1, 2, 3, 5, 6, 7
// (SixButtonModel "Test <fw>", cid 0x30 + fw).
inline DevCfg ProfileModel(uint32_t fw, uint32_t sensor = 0x3395) {
  DevCfg m = SixButtonModel(0x30 + fw, 0x01, fw);
  std::snprintf(m.szName, sizeof m.szName, "Test %u", fw);
  m.nSensor = sensor;
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

struct ProfileRig {
  explicit ProfileRig(uint32_t fw, const DevCfg& m = {}, const std::string& extra = "")
      : model(m.InUse() ? m : ProfileModel(fw)) {
    g_Catalogue().sensors.Build(false);
    std::string err;
    mouse = MouseOf(model, fw != 0, &err, extra);
    EXPECT_TRUE(mouse) << err;
    transport.SetTrace([this](TraceDir d, const Report& r) {
      if (d != TraceDir::ToDevice) return;
      std::lock_guard<std::mutex> g(mu);
      ++reports;
      if (r[1] == kCmdWriteEEPROM) writes.push_back({uint16_t(r[3] << 8 | r[4]), r[5]});
      if (r[1] == kCmdCommit) ++commits;
    });
    transport.Plug(mouse);
    dev = ConnectDevice(transport, model, fw != 0);
    EXPECT_TRUE(dev);
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
