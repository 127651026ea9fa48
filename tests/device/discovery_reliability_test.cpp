// Seeded fault injection during discovery: mice plugged and pulled at random,
// replies dropped, late, foreign, failing or garbage, receivers asleep. Each
// run ends by pulling every mouse, plugging clean ones and checking that the
// device list is exactly what is plugged in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "discovery_rig.h"

namespace tolvane::test {
namespace {

int Runs() {
  const char* env = std::getenv("TOLVANE_RELIABILITY_RUNS");
  int n = env ? std::atoi(env) : 0;
  return n > 0 ? n : 12;
}

std::string SpecFor(const DevCfg& m, bool wireless, bool asleep) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s:cid=%02x,mid=%02x,link=%s%s", m.nFw ? "pro+" : "pro",
                unsigned(m.nCid), unsigned(m.nMid), wireless ? "wireless" : "wired",
                asleep ? ",asleep" : "");
  return buf;
}

void Sabotage(sim::VirtualMouse& m, std::mt19937& rng) {
  auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
  if (pick(2)) m.DropReplies(pick(3));
  if (pick(3) == 0) m.DelayReplies(1 + pick(2), 150);
  if (pick(3) == 0) m.WrongIdReplies(1 + pick(2), 0x05);
  if (pick(2)) m.ForeignReplies(1 + pick(3));
  if (pick(4) == 0) m.FailReplies(1, 0x01);
  if (pick(3) == 0) m.SendGarbage(1 + pick(4), rng());
  if (pick(5) == 0) m.UnplugAfterReports(1 + pick(25));
  if (pick(4) == 0) m.RejectSends(1 + pick(2));
  if (pick(4) == 0) m.SetLatency(pick(3));
}

TEST(DiscoveryReliabilityTest, RandomPlugsAndFaultsNeverLoseTheDeviceList) {
  const int runs = Runs();
  int completed = 0;
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::mt19937 rng(0xD15C0u + uint32_t(run));
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    auto rig = std::make_unique<DiscoveryRig>();
    const auto& models = rig->cat.models;

    // Which models take part this run.
    std::vector<size_t> chosen;
    for (size_t i = 0; i < models.size(); ++i)
      if (pick(2)) chosen.push_back(i);
    if (chosen.empty()) chosen.push_back(size_t(pick(int(models.size()))));

    std::vector<std::shared_ptr<sim::VirtualMouse>> mice;
    for (size_t i : chosen) {
      const int copies = 1 + (pick(3) == 0);  // sometimes cable and receiver at once
      for (int c = 0; c < copies; ++c) {
        const bool wireless = pick(2) != 0;
        auto m = rig->Make(SpecFor(models[i], wireless, wireless && pick(3) == 0));
        ASSERT_TRUE(m);
        Sabotage(*m, rng);
        mice.push_back(m);
        if (pick(4)) rig->transport.Plug(m);
      }
    }
    rig->mgr->Start();

    // Chaos: plugs, pulls, wake-ups and scans while discovery works.
    const int steps = 3 + pick(6);
    for (int s = 0; s < steps; ++s) {
      std::this_thread::sleep_for(Ms(pick(40)));
      auto& m = mice[size_t(pick(int(mice.size())))];
      switch (pick(5)) {
        case 0: rig->transport.Unplug(m); break;
        case 1: rig->transport.Plug(m); break;
        case 2: m->SetAsleep(false); break;
        case 3: Sabotage(*m, rng); break;
        default: rig->mgr->Scan(); break;
      }
    }

    // Everything out: the list must empty.
    for (auto& m : mice) rig->transport.Unplug(m);
    ASSERT_TRUE(WaitUntil([&] { return rig->mgr->List().ConnectedCount() == 0; }, 5000))
        << "a device stayed in the list after its removal";

    // Clean mice in: exactly they must be connected, each in its entry.
    std::vector<std::shared_ptr<sim::VirtualMouse>> clean;
    for (size_t i : chosen) clean.push_back(rig->Plug(SpecFor(models[i], pick(2) != 0, false)));
    rig->mgr->Scan();
    ASSERT_TRUE(WaitUntil(
        [&] {
          for (size_t i : chosen)
            if (!rig->Connected(i)) return false;
          return true;
        },
        5000))
        << "a plugged-in device was not connected";
    for (size_t i = 0; i < models.size(); ++i) {
      auto d = rig->Dev(i);
      const bool want = std::find(chosen.begin(), chosen.end(), i) != chosen.end();
      EXPECT_EQ(d && d->HasCmd(), want) << "entry " << i;
      if (d && want) {
        EXPECT_EQ(d->cid, models[i].nCid);
        EXPECT_EQ(d->mid, models[i].nMid);
        uint8_t b[2];
        EXPECT_EQ(d->ReadEEPROM(0x04, b, 2), 1);
      }
    }

    // Shutdown is bounded and leaves nothing open.
    auto t0 = Clock::now();
    rig->mgr->Shutdown();
    EXPECT_LT(std::chrono::duration_cast<Ms>(Clock::now() - t0).count(), 3000);
    EXPECT_EQ(rig->counting.Live(), 0);
    rig.reset();
    ++completed;
  }
  RecordProperty("runs", completed);
  std::printf("discovery fault-injection runs: %d completed of %d\n", completed, runs);
  EXPECT_EQ(completed, runs);
}

}  // namespace
}  // namespace tolvane::test
