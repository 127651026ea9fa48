// GetProfile over a virtual mouse whose EEPROM image and reply faults come
// from the input. Layout: byte 0 family (bit 0: PRO+) and macro library (bit
// 1); bytes 1-8 four fault pairs (kind, count); the rest is written into the
// EEPROM from address 0. Only faults that end quickly are drawn (a dropped
// reply costs a second of waiting and finds nothing a failing one does not).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>

#include "config/catalogue.h"
#include "device/hid_dev.h"
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

// The profile tests' six-button model, without level colours or a DPI light
// mode.
DevCfg Model(uint32_t fw) {
  DevCfg m = test::SixButtonModel(0x30 + fw, 0x01, fw);
  std::snprintf(m.szName, sizeof m.szName, "Fuzz %u", fw);
  std::fill(std::begin(m.dwDpiColor), std::end(m.dwDpiColor), 0u);
  m.dwDpiLEDMode = 0;
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

  std::string err;
  auto mouse = test::MouseOf(model, fw != 0, &err);
  if (!mouse) __builtin_trap();
  const size_t image = std::min(size - 9, sim::kEepromSize);
  if (image) mouse->PokeEeprom(0, std::vector<uint8_t>(data + 9, data + 9 + image));

  sim::SimTransport transport;
  transport.Plug(mouse);
  std::unique_ptr<CHidDev> dev = test::ConnectDevice(transport, model, fw != 0);
  if (!dev) __builtin_trap();

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
