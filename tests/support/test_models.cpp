#include "support/test_models.h"

#include <cstdio>
#include <utility>

#include "device/dev_pro.h"
#include "macro/hd_macro.h"

namespace tolvane::test {

DevCfg BasicModel(uint32_t cid, uint32_t mid, uint32_t fw) {
  DevCfg m;
  std::snprintf(m.szName, sizeof m.szName, "Model %02x%02x", cid, mid);
  m.nCid = cid;
  m.nMid = mid;
  m.nFw = fw;
  m.nSensor = 0x3395;
  m.nDM = 4;
  for (int i = 0; i < 4; ++i) m.dwDpi[i] = 400u << i;
  m.nDefRate = 0x1000;
  return m;
}

DevCfg SixButtonModel(uint32_t cid, uint32_t mid, uint32_t fw) {
  DevCfg m = BasicModel(cid, mid, fw);
  for (int i = 0; i < kMaxDpiLevels; ++i) m.dwDpiColor[i] = 0x0000FFu << (8 * (i % 3));
  m.nKeyCount = 6;
  m.bShowLOD = m.bShowDpi = m.bShowDpiColor = m.bShowUsbRate = m.bShowRipple = 1;
  m.bShowFixLine = m.bShowDpiLED = m.bShowMainEffect = m.bShowLogoEffect = m.bShowSleep = 1;
  m.bShowDebounce = 1;
  m.nDebounce = 8;
  m.dwDpiLEDMode = 0x030502;
  m.nSleepTime = 120;
  const uint32_t funs[6] = {kFunLeftClick, 0x01000013, 0x01000012, 0x01000015, 0x01000014,
                            0x080000AA};
  const uint32_t matrix[6] = {1, 2, 3, 5, 6, 7};
  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < 6; ++b) m.keys[t][b] = {funs[b], matrix[b], 0, {}, 0, 0};
  return m;
}

DevCfg TenButtonModel(uint32_t cid, uint32_t mid, uint32_t fw) {
  DevCfg m;
  m.nCid = cid;
  m.nMid = mid;
  m.nFw = fw;
  m.nSensor = 0x3395;
  m.bWideRange = 1;
  m.nDM = 6;
  for (uint32_t i = 0; i < 6; ++i) {
    m.dwDpi[i] = 400u * (i + 1);
    m.dwDpiColor[i] = 0x000010u * (i + 1);
  }
  m.nDefRate = 0x1000;
  m.nKeyCount = 10;
  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < 10; ++b) {
      m.keys[t][b].dwFunID = kFunLeftClick;
      m.keys[t][b].nMatrix = uint32_t(b + 1);
    }
  m.nSleepTime = 30;
  m.bSleepTimeCheck = 1;
  m.bShowLOD = 1;
  m.bShowDpi = 1;
  m.dwDpiLEDMode = 0x030502;  // mode 2, brightness 5, speed 3
  return m;
}

sim::SimCatalogue CatalogueOf(std::vector<DevCfg> models, std::vector<uint16_t> wiredPids,
                              std::vector<uint16_t> wirelessPids) {
  sim::SimCatalogue c;
  c.models = std::move(models);
  c.vids = {0x3A3A};
  c.wiredPids = std::move(wiredPids);
  c.wirelessPids = std::move(wirelessPids);
  return c;
}

sim::SimCatalogue TwoFamilyCatalogue(uint8_t firstCid) {
  std::vector<DevCfg> models;
  for (uint32_t fw = 0; fw < 2; ++fw) {
    models.push_back(BasicModel(firstCid + fw, 0x01, fw));
    std::snprintf(models.back().szName, sizeof models.back().szName, "Model %u", fw);
  }
  return CatalogueOf(std::move(models));
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

std::shared_ptr<sim::VirtualMouse> MouseOf(const DevCfg& model, bool plus, std::string* err,
                                           const std::string& extra) {
  char spec[96];
  std::snprintf(spec, sizeof spec, "%s:cid=%x,mid=%x%s", plus ? "pro+" : "pro", model.nCid,
                model.nMid, extra.c_str());
  return sim::MakeVirtualMouse(spec, CatalogueOf({model}, {0x1001}, {}), err);
}

std::unique_ptr<CHidDev> ConnectDevice(HidTransport& transport, const DevCfg& model, bool plus) {
  auto [cmd, notify] = OpenByRole(transport, plus);
  if (!cmd) return nullptr;
  std::unique_ptr<CHidDev> dev;
  if (plus)
    dev = std::make_unique<CDevProPlus>();
  else
    dev = std::make_unique<CDevPro>();
  dev->pDevCfg = &model;
  dev->SetHandles(std::move(cmd), std::move(notify));
  dev->StartService();
  return dev;
}

StMacro TestMacro(std::string_view name, uint32_t id, std::initializer_list<MacroEvent> events) {
  StMacro m{};
  m.dwMagicNumber = kMacroMagic;
  m.dwID = id;
  m.bAutoDelay = 1;
  m.wRepeat = 1;
  SetMacroName(m, name);
  int i = 0;
  for (const MacroEvent& e : events) m.stEvents[i++] = e;
  return m;
}

StMacro TestMacro(std::string_view name, uint32_t id, uint16_t key) {
  return TestMacro(name, id, {{key, 1, 10}, {key, 0, 0}});
}

}  // namespace tolvane::test
