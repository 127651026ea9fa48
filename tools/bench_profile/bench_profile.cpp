// A full GetProfile against a PRO virtual mouse with 1 ms reply latency, with
// no macro buttons and with 16, printed beside the floor of that work: the
// mandated sleeps (settings pieces, combination and name reads, macro reads,
// the read pieces and the macro id wait) plus one latency per exchange.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "config/catalogue.h"
#include "device/hid_dev.h"
#include "macro/macro_library.h"
#include "profile/profile_device.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/temp_folder.h"
#include "support/test_models.h"

using namespace tolvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLatencyMs = 1;
constexpr int kPieceSleepMs = 5;  // ReadROM between pieces
constexpr int kMacroEvents = 20;

DevCfg Model() {
  DevCfg m = test::BasicModel(0x11, 0x01, 0);
  m.bShowMainEffect = m.bShowLogoEffect = m.bShowDpiLED = 1;
  for (int b = 0; b < 16; ++b) m.keys[0][b] = {0x01000011, uint32_t(b + 1), 0, {}, 0, 0};
  return m;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void PokeMacros(sim::VirtualMouse& mouse) {
  for (int j = 0; j < 16; ++j) {
    std::vector<uint8_t> rec(32, 0);
    rec[0] = 10;
    const char* name = "Macro";
    for (int i = 0; i < 5; ++i) rec[1 + 2 * i] = uint8_t(name[i]);
    rec[11] = uint8_t('A' + j);
    rec[31] = kMacroEvents;
    for (int e = 0; e < kMacroEvents; ++e)
      rec.insert(rec.end(), {uint8_t(e % 2 ? 0x41 : 0x81), 0x04, 0, 0, 10});
    rec.insert(rec.end(), {0, 0, 0, 0});
    mouse.PokeEeprom(uint16_t(0x300 + 0x180 * j), rec);
    const uint8_t code[4] = {6, uint8_t(j), 1, uint8_t(0x55 - 7 - j)};
    mouse.PokeEeprom(uint16_t(0x60 + 4 * j), std::vector<uint8_t>(code, code + 4));
  }
}

struct Counts {
  int exchanges = 0, namePieces = 0, macroPieces = 0;
};

bool Run(bool macros, int runs) {
  DevCfg model = Model();
  std::string err;
  auto mouse = test::MouseOf(model, false, &err, ",latency=" + std::to_string(kLatencyMs));
  if (!mouse) {
    std::fprintf(stderr, "bench_profile: %s\n", err.c_str());
    return false;
  }
  if (macros) PokeMacros(*mouse);
  sim::SimTransport transport;
  std::mutex mu;
  Counts counts;
  transport.SetTrace([&](TraceDir d, const Report& r) {
    if (d != TraceDir::ToDevice) return;
    std::lock_guard<std::mutex> g(mu);
    ++counts.exchanges;
    const unsigned addr = unsigned(r[3] << 8 | r[4]);
    if (addr >= 0x300) {
      const unsigned off = (addr - 0x300) % 0x180;
      if (off >= 1 && off < 31) ++counts.namePieces;
      if (off >= 31) ++counts.macroPieces;
    }
  });
  transport.Plug(mouse);
  std::unique_ptr<CHidDev> dev = test::ConnectDevice(transport, model, false);
  if (!dev) return false;

  const test::TempFolder dir("bench-profile");
  double best = 1e9, sum = 0;
  Counts last;
  for (int run = 0; run < runs; ++run) {
    MacroLibrary lib(dir.Root() + "/", false);
    lib.Load();
    {
      std::lock_guard<std::mutex> g(mu);
      counts = {};
    }
    ProfileFile f;
    f.dwID = 1;
    const auto t0 = Clock::now();
    const int r = GetProfile(*dev, &f, &lib);
    const double ms = Ms(Clock::now() - t0);
    if (r != 1) {
      std::fprintf(stderr, "bench_profile: GetProfile failed\n");
      return false;
    }
    best = std::min(best, ms);
    sum += ms;
    std::lock_guard<std::mutex> g(mu);
    last = counts;
  }
  dev->ClearHandle();

  const int nMacros = macros ? 16 : 0;
  const int sleeps = 19 * 10 + 20 + 16 * 10 + kPieceSleepMs * (last.namePieces - 16) +
                     nMacros * (15 + 20) + kPieceSleepMs * (last.macroPieces - nMacros);
  const int floor = sleeps + last.exchanges * kLatencyMs;
  std::printf(
      "GetProfile, %2d macros: best %7.1f ms, mean %7.1f ms over %d runs; floor %d ms "
      "(sleeps %d ms + %d exchanges x %d ms; %d name and %d macro pieces)\n",
      nMacros, best, sum / runs, runs, floor, sleeps, last.exchanges, kLatencyMs,
      last.namePieces, last.macroPieces);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  g_Catalogue().sensors.Build(false);
  if (!Run(false, runs) || !Run(true, runs)) return 1;
  return 0;
}
