// A bare host side for the virtual mouse tests: builds command reports and
// reads replies straight through the transport.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/test_models.h"

namespace tolvane::sim::test {

inline Report Cmd(uint8_t cmd, uint16_t addr = 0, uint8_t len = 0,
                  const std::vector<uint8_t>& data = {}) {
  Report r{};
  r[0] = 8;
  r[1] = cmd;
  r[3] = uint8_t(addr >> 8);
  r[4] = uint8_t(addr);
  r[5] = len;
  for (size_t i = 0; i < data.size() && i < 10; ++i) r[6 + i] = data[i];
  r[16] = ReportChecksum(r);
  return r;
}

inline DevCfg TestModel(uint32_t cid, uint32_t mid, uint32_t fw) {
  DevCfg m = tolvane::test::BasicModel(cid, mid, fw);
  m.dwDpi[3] = 26200;
  for (int i = 0; i < 8; ++i) m.dwDpiColor[i] = 0x102030u * uint32_t(i + 1) & 0xFFFFFF;
  m.nDefLevel = 1;
  m.nDefRate = 0x500;
  m.dwDpiLEDMode = 0x030502;
  m.nSleepTime = 120;
  m.bSleepTimeCheck = 1;
  m.nDebounce = 8;
  m.keys[0][0] = {0x01000011, 1, 0, {}, 0, 0};
  m.keys[0][1] = {0x01000013, 2, 0, {}, 0, 0};
  m.keys[0][2] = {0x080000AA, 3, 0, {}, 0, 0};
  m.keys[0][3] = {0x020000A1, 5, 0, {0x03, {0x41, 0, 0}}, 0, 0};  // Ctrl+Shift+A
  m.keys[0][4] = {0x04000026, 6, 0, {}, 0, 0};                    // volume up
  m.keys[0][5] = {0x080000A4, 7, 0, {}, 0x0A03, 0};               // fire
  return m;
}

inline SimCatalogue TestCatalogue() {
  return tolvane::test::CatalogueOf(
      {TestModel(0x11, 0x01, 0), TestModel(0x22, 0x07, 1), TestModel(0x11, 0x02, 0)},
      {0x1001, 0x1003});
}

// One mouse on a transport with its handles open.
struct Rig {
  SimTransport transport;
  std::shared_ptr<VirtualMouse> mouse;
  std::unique_ptr<HidHandle> out;  // sends commands
  std::unique_ptr<HidHandle> in;   // reads input reports (same handle on PRO+)

  explicit Rig(const std::string& spec, const SimCatalogue& cat = TestCatalogue()) {
    std::string err;
    mouse = MakeVirtualMouse(spec, cat, &err);
    EXPECT_TRUE(mouse) << err;
    if (!mouse) return;
    transport.Plug(mouse);
    for (const HidIfInfo& i : transport.Enumerate()) {
      if (i.nUsagePage == 0xFF01) in = transport.Open(i.szPath, HidRole::ProNotify);
      if (i.nUsagePage == 0xFF02 && i.nFeatureLen == 17)
        out = transport.Open(i.szPath, HidRole::ProCommand);
      if (i.nUsagePage == 0xFF02 && i.nOutputLen == 17)
        out = transport.Open(i.szPath, HidRole::ProPlus);
    }
    EXPECT_TRUE(out);
  }
  bool plus() const { return mouse->family() == Family::ProPlus; }
  HidHandle& reader() { return in ? *in : *out; }

  HidStatus Send(const Report& r) { return plus() ? out->Write(r, 200) : out->SendFeature(r); }
  // Sends and returns the next input report (payload bytes at 1..15).
  HidStatus Exchange(const Report& r, Report* reply, int timeoutMs = 200) {
    HidStatus s = Send(r);
    if (s != HidStatus::Ok) return s;
    return reader().Read(*reply, timeoutMs);
  }
  Report Ask(uint8_t cmd, uint16_t addr = 0, uint8_t len = 0, const std::vector<uint8_t>& d = {}) {
    Report rep{};
    EXPECT_EQ(Exchange(Cmd(cmd, addr, len, d), &rep), HidStatus::Ok) << "command " << int(cmd);
    return rep;
  }
};

}  // namespace tolvane::sim::test
