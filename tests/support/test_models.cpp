#include "support/test_models.h"

#include <cstdio>

#include "macro/hd_macro.h"

namespace tolvane::test {

sim::SimCatalogue TwoFamilyCatalogue(uint8_t firstCid) {
  sim::SimCatalogue c;
  for (uint32_t fw = 0; fw < 2; ++fw) {
    DevCfg m;
    std::snprintf(m.szName, sizeof m.szName, "Model %u", fw);
    m.nCid = firstCid + fw;
    m.nMid = 0x01;
    m.nFw = fw;
    m.nSensor = 0x3395;
    m.nDM = 4;
    for (int i = 0; i < 4; ++i) m.dwDpi[i] = 400u << i;
    m.nDefRate = 0x1000;
    c.models.push_back(m);
  }
  c.vids = {0x3A3A};
  c.wiredPids = {0x1001};
  c.wirelessPids = {0x2002};
  return c;
}

DiscoveryTimings FastDiscoveryTimings(int rescanPeriodMs) {
  DiscoveryTimings t;
  t.notifyOpenSleepMs = 1;
  t.echoWaitMs = 20;
  t.matchReadMs = 300;
  t.probeReadMs = 100;
  t.probeShortSleepMs = 5;
  t.probeLongSleepMs = 40;
  t.takeoverSleepMs = 1;
  t.rescanPeriodMs = rescanPeriodMs;
  t.removalReadWaitMs = 10;
  return t;
}

RoleInterfaces OpenByRole(HidTransport& transport, bool plus) {
  RoleInterfaces r;
  for (const HidIfInfo& i : transport.Enumerate()) {
    if (!plus && i.nUsagePage == 0xFF01 && i.nInputLen == 17)
      r.notify = transport.Open(i.szPath, HidRole::ProNotify);
    if (!plus && i.nUsagePage == 0xFF02 && i.nFeatureLen == 17 && i.nOutputLen == 0)
      r.cmd = transport.Open(i.szPath, HidRole::ProCommand);
    if (plus && i.nUsagePage == 0xFF02 && i.nOutputLen == 17)
      r.cmd = transport.Open(i.szPath, HidRole::ProPlus);
  }
  return r;
}

StMacro TestMacro(std::string_view name, uint32_t id, uint16_t key) {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.dwID = id;
  m.bAutoDelay = 1;
  m.wRepeat = 1;
  SetMacroName(m, name);
  m.stEvents[0] = {key, 1, 10};
  m.stEvents[1] = {key, 0, 0};
  return m;
}

}  // namespace tolvane::test
