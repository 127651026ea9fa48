// GetProfile over a virtual mouse whose EEPROM image and reply faults come
// from the input. Layout: byte 0 family (bit 0: PRO+) and macro library (bit
// 1); bytes 1-8 four fault pairs (kind, count); the rest is written into the
// EEPROM from address 0. Only faults that end quickly are drawn (a dropped
// reply costs a second of waiting and finds nothing a failing one does not).
#include <cstdint>
#include <cstdio>
#include <memory>

#include "config/catalogue.h"
#include "device/dev_pro.h"
#include "fuzz_support.h"
#include "macro/macro_library.h"
#include "profile/profile_device.h"
#include "profile/profile_file.h"
#include "sim/sim_mouse.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/test_models.h"

using namespace tolvane;

namespace {

DevCfg Model(uint32_t fw) {
  DevCfg m;
  std::snprintf(m.szName, sizeof m.szName, "Fuzz %u", fw);
  m.nCid = 0x30 + fw;
  m.nMid = 0x01;
  m.nFw = fw;
  m.nSensor = 0x3395;
  m.nDM = 4;
  const uint32_t dpi[4] = {400, 800, 1600, 3200};
  for (int i = 0; i < 4; ++i) m.dwDpi[i] = dpi[i];
  m.nDefRate = 0x1000;
  m.nKeyCount = 6;
  m.bShowLOD = m.bShowDpi = m.bShowDpiColor = m.bShowUsbRate = m.bShowRipple = 1;
  m.bShowFixLine = m.bShowDpiLED = m.bShowMainEffect = m.bShowLogoEffect = m.bShowSleep = 1;
  m.bShowDebounce = 1;
  m.nDebounce = 8;
  m.nSleepTime = 120;
  const uint32_t fun[6] = {0x01000011, 0x01000013, 0x01000012, 0x01000015, 0x01000014, 0x080000AA};
  const uint32_t matrix[6] = {1, 2, 3, 5, 6, 7};
  for (int t = 0; t < kKeyModes; ++t)
    for (int b = 0; b < 6; ++b) m.keys[t][b] = {fun[b], matrix[b], 0, {}, 0, 0};
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::Scratch scratch;
  static const DevCfg models[2] = {Model(0), Model(1)};
  static bool once = [] {
    g_Catalogue().sensors.Build(false);
    SetProfilePacing(false);
    return true;
  }();
  (void)once;
  fuzz::QuietLog();
  if (size < 9) return 0;
  const uint32_t fw = data[0] & 1;
  const DevCfg& model = models[fw];

  sim::SimCatalogue cat;
  cat.models = {model};
  cat.vids = {0x3A3A};
  cat.wiredPids = {0x1001};
  char spec[64];
  std::snprintf(spec, sizeof spec, "%s:cid=%x,mid=%x", fw ? "pro+" : "pro", model.nCid, model.nMid);
  std::string err;
  auto mouse = sim::MakeVirtualMouse(spec, cat, &err);
  if (!mouse) __builtin_trap();
  const size_t image = std::min(size - 9, sim::kEepromSize);
  if (image) mouse->PokeEeprom(0, std::vector<uint8_t>(data + 9, data + 9 + image));

  sim::SimTransport transport;
  transport.Plug(mouse);
  auto [cmd, notify] = test::OpenByRole(transport, fw != 0);
  if (!cmd) __builtin_trap();
  std::unique_ptr<CHidDev> dev;
  if (fw)
    dev = std::make_unique<CDevProPlus>();
  else
    dev = std::make_unique<CDevPro>();
  dev->pDevCfg = &model;
  dev->SetHandles(std::move(cmd), std::move(notify));
  dev->StartService();

  for (int f = 0; f < 4; ++f) {
    const uint8_t kind = data[1 + 2 * f], n = data[2 + 2 * f] & 7;
    switch (kind & 7) {
      case 1: mouse->FailReplies(n, uint8_t(kind >> 3)); break;
      case 2: mouse->ForeignReplies(n); break;
      case 3: mouse->SendGarbage(n, kind); break;
      case 4: if (n) mouse->UnplugAfterReports(n * 37 + (kind >> 3)); break;
      default: break;
    }
  }

  std::unique_ptr<MacroLibrary> lib;
  if (data[0] & 2) {
    scratch.Clear();
    lib = std::make_unique<MacroLibrary>(scratch.Dir().string() + "/", false);
    lib->Load();
  }
  ProfileFile file;
  file.dwID = 0x123456;
  GetProfile(*dev, &file, lib.get());
  dev->ClearHandle();
  return 0;
}
