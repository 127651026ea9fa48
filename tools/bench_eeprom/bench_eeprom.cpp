// Reads 190 bytes of EEPROM (ReadROM: 19 exchanges of 10 bytes, 5 ms between
// pieces) and writes 64 bytes (WriteEEPROM with chunk 8: 8 exchanges) against
// a virtual mouse with 1 ms reply latency, and prints the time beside the
// floor of that work: the mandated sleeps plus one latency per exchange.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/dev_pro.h"
#include "sim/sim_spec.h"
#include "sim/sim_transport.h"
#include "support/test_models.h"

using namespace tolvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLatencyMs = 1;
constexpr int kReadLen = 190;
constexpr int kWriteLen = 64;
constexpr int kWriteChunk = 8;
constexpr int kPieceSleepMs = 5;  // ReadROM between pieces

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool Run(const char* family, int runs) {
  std::string err;
  auto mouse = sim::MakeVirtualMouse(std::string(family) + ":latency=" +
                                         std::to_string(kLatencyMs),
                                     test::TwoFamilyCatalogue(), &err);
  if (!mouse) {
    std::fprintf(stderr, "bench_eeprom: %s\n", err.c_str());
    return false;
  }
  sim::SimTransport transport;
  transport.Plug(mouse);
  const bool plus = mouse->family() == sim::Family::ProPlus;
  std::unique_ptr<CHidDev> dev;
  if (plus)
    dev = std::make_unique<CDevProPlus>();
  else
    dev = std::make_unique<CDevPro>();
  auto [cmd, notify] = test::OpenByRole(transport, plus);
  if (!cmd || (!plus && !notify)) {
    std::fprintf(stderr, "bench_eeprom: the virtual mouse's interfaces did not open\n");
    return false;
  }
  dev->SetHandles(std::move(cmd), std::move(notify));
  dev->StartService();

  std::vector<uint8_t> buf(kReadLen), data(kWriteLen);
  for (int i = 0; i < kWriteLen; ++i) data[size_t(i)] = uint8_t(i);
  std::vector<double> reads, writes, totals;
  for (int r = 0; r < runs; ++r) {
    auto t0 = Clock::now();
    if (!dev->ReadROM(0, buf.data(), kReadLen)) {
      std::fprintf(stderr, "bench_eeprom: read failed\n");
      return false;
    }
    auto t1 = Clock::now();
    if (!dev->WriteEEPROM(0x60, data.data(), kWriteLen, kWriteChunk)) {
      std::fprintf(stderr, "bench_eeprom: write failed\n");
      return false;
    }
    auto t2 = Clock::now();
    reads.push_back(Ms(t1 - t0));
    writes.push_back(Ms(t2 - t1));
    totals.push_back(Ms(t2 - t0));
  }
  dev->ClearHandle();

  const int readEx = (kReadLen + 9) / 10;
  const int writeEx = (kWriteLen + kWriteChunk - 1) / kWriteChunk;
  const int sleeps = (readEx - 1) * kPieceSleepMs;
  const int floorRead = sleeps + readEx * kLatencyMs;
  const int floorWrite = writeEx * kLatencyMs;
  // What a wait that sleeps 10 ms before it first looks at the queue costs.
  const int polled = sleeps + (readEx + writeEx) * std::max(10, kLatencyMs);
  std::printf("%-5s read %d B (%d exchanges): median %.1f ms, best %.1f ms, floor %d ms\n", family,
              kReadLen, readEx, Median(reads), *std::min_element(reads.begin(), reads.end()),
              floorRead);
  std::printf("%-5s write %d B (%d exchanges): median %.1f ms, best %.1f ms, floor %d ms\n",
              family, kWriteLen, writeEx, Median(writes),
              *std::min_element(writes.begin(), writes.end()), floorWrite);
  std::printf("%-5s total: median %.1f ms, floor %d ms (%d ms sleeps + %d exchanges x %d ms); "
              "a 10 ms polled wait would need at least %d ms\n",
              family, Median(totals), floorRead + floorWrite, sleeps, readEx + writeEx,
              kLatencyMs, polled);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::printf("bench_eeprom: %d runs, reply latency %d ms\n", runs, kLatencyMs);
  bool ok = Run("pro", runs);
  ok = Run("pro+", runs) && ok;
  return ok ? 0 : 1;
}
