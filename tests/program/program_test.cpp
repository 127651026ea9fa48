// Program's threading contract against virtual mice that answer slowly or
// not at all: every public operation the window uses returns at once, and
// every started operation ends with exactly one event.
#include "program/program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../device/discovery_rig.h"
#include "../profile/store_rig.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/link_options.h"
#include "profile/profile_device.h"
#include "sim/sim_transport.h"
#include "support/saved_globals.h"
#include "support/virtual_mice_options.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kCallBound = std::chrono::milliseconds(16);

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (program_) program_->Exit();
    program_.reset();
  }
  void Start(std::vector<std::string> specs, bool visible = true) {
    program_ = std::make_unique<Program>(events_);
    ProgramOptions o = VirtualMiceOptions(TOLVANE_SOURCE_DATA_DIR, tmp_.Dir(), std::move(specs));
    o.windowVisible = [visible] { return visible; };
    ASSERT_EQ(program_->Start(o), StartResult::Ok);
    ASSERT_TRUE(program_->WaitDevicesSettled(kWaitMs));
  }
  std::shared_ptr<sim::VirtualMouse> Mouse(size_t i) { return program_->Simulated()->Mice().at(i); }
  int Entry(uint8_t cid, uint8_t mid) {
    return program_->Manager().List().FindByIdentity(cid, mid);
  }

  // Runs `call`, records how long it took on this thread.
  template <class F>
  auto Timed(const char* what, F&& call) {
    const auto t0 = SteadyClock::now();
    auto r = call();
    const auto took = SteadyClock::now() - t0;
    if (took > longest_) longest_ = std::chrono::duration_cast<std::chrono::microseconds>(took);
    EXPECT_LT(took, kCallBound)
        << what << " took " << std::chrono::duration_cast<std::chrono::microseconds>(took).count()
        << " us";
    return r;
  }
  // Exactly one WM_OPERATION_DONE for each ticket, after all have ended.
  void ExpectEachEndedOnce(const std::map<std::string, Ticket>& tickets) {
    for (const auto& [what, t] : tickets) {
      EXPECT_TRUE(program_->Wait(t, 30000)) << what;
      EXPECT_TRUE(program_->Result(t).has_value()) << what;
    }
    for (const auto& [what, t] : tickets) EXPECT_EQ(events_.Count(WM_OPERATION_DONE, t), 1) << what;
  }

  TempDir tmp_;
  EventRecorder events_;
  std::unique_ptr<Program> program_;
  std::chrono::microseconds longest_{0};
  SavedGlobals saved_;
};

// A mouse whose every reply takes 900 ms: the window's calls return at once
// while the worker, the reads and the writes wait; unplugging it in the
// middle ends every operation, each once.
TEST_F(ProgramTest, ProgramSlowMouseNeverHoldsTheCaller) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"}));
  const int k = Entry(0x10, 0x01), h = Entry(0x20, 0x01);
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(k)));
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(h)));
  // A first choice at full speed gives the store and a profile to work on.
  const Ticket first = program_->ChooseDevice(k);
  ASSERT_TRUE(program_->Wait(first, kWaitMs));
  ASSERT_EQ(program_->Result(first), std::optional<bool>(true));
  const std::string qxa = tmp_.Dir() + "slow.qxa";
  const Ticket exported = program_->ExportProfile(qxa);
  ASSERT_TRUE(program_->Wait(exported, kWaitMs));
  ASSERT_EQ(program_->Result(exported), std::optional<bool>(true));

  std::shared_ptr<sim::VirtualMouse> kestrel = Mouse(0);
  kestrel->SetLatency(900);
  std::map<std::string, Ticket> t;
  EXPECT_EQ(Timed("CanChangeSettings", [&] { return program_->CanChangeSettings(); }), 1);
  t["battery"] = Timed("ReadBattery", [&] { return program_->ReadBattery(); });
  t["tell"] = Timed("TellDriverStatus", [&] { return program_->TellDriverStatus(1); });
  const EditOutcome edit = Timed("Edit", [&] {
    return program_->Edit(
        [](ProfileFile& f, const EditModel& m) { return EditRipple(f, m, true); });
  });
  EXPECT_TRUE(edit.ok);
  EXPECT_TRUE(edit.requested);
  t["switch"] = Timed("SwitchProfile", [&] { return program_->SwitchProfile(1); });
  t["restore"] = Timed("RestoreDefaults", [&] { return program_->RestoreDefaults(); });
  t["import"] = Timed("ImportProfile", [&] { return program_->ImportProfile(qxa); });
  t["export"] =
      Timed("ExportProfile", [&] { return program_->ExportProfile(tmp_.Dir() + "b.qxa"); });
  t["read"] = Timed("ReadProfile", [&] { return program_->ReadProfile(); });
  t["choose"] = Timed("ChooseDevice", [&] { return program_->ChooseDevice(k); });
  Timed("WindowShown", [&] {
    program_->WindowShown();
    return 0;
  });
  Timed("Profile", [&] { return program_->Profile(); });
  Timed("Devices", [&] { return program_->Devices(); });
  // The mouse's own DPI button: its notification is decoded off this thread.
  kestrel->PressDpiButton();
  for (int i = 0; i < 20; ++i)
    Timed("CanChangeSettings", [&] { return program_->CanChangeSettings(); });
  EXPECT_TRUE(events_.WaitFor(WM_DEVICE_BEHAVIOR, 1, uintptr_t(k)));

  // Some of it is still waiting on the mouse (a read takes minutes at this
  // pace); unplugging ends all of it.
  std::this_thread::sleep_for(Ms(300));
  EXPECT_FALSE(program_->Result(t["read"]).has_value());
  program_->Simulated()->Unplug(kestrel);
  ASSERT_TRUE(events_.WaitFor(WM_CURRENT_REMOVED, 1, uintptr_t(k)));
  EXPECT_EQ(Timed("CanChangeSettings", [&] { return program_->CanChangeSettings(); }), 0);
  t["after"] = Timed("ChooseDevice", [&] { return program_->ChooseDevice(k); });
  ExpectEachEndedOnce(t);
  EXPECT_EQ(program_->Result(t["read"]), std::optional<bool>(false));
  EXPECT_EQ(program_->Result(t["after"]), std::optional<bool>(false));
  EXPECT_EQ(program_->Result(t["export"]), std::optional<bool>(true));  // files only
  RecordProperty("longest_call_us", int(longest_.count()));
}

// A receiver whose mouse goes to sleep: the gate learns it from the worker,
// not by asking the device on the caller's thread; a second receiver whose
// mouse sleeps from the start never blocks anything either.
TEST_F(ProgramTest, ProgramSleepingMouseBehindReceiver) {
  ASSERT_NO_FATAL_FAILURE(
      Start({"pro+:cid=20,mid=1,link=wireless", "pro:cid=10,mid=1,link=wireless,asleep"}));
  const int h = Entry(0x20, 0x01);
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(h)));
  const Ticket first = program_->ChooseDevice(h);
  ASSERT_TRUE(program_->Wait(first, kWaitMs));
  ASSERT_EQ(program_->Result(first), std::optional<bool>(true));
  EXPECT_EQ(Timed("CanChangeSettings", [&] { return program_->CanChangeSettings(); }), 1);

  Mouse(0)->SetAsleep(true);
  std::map<std::string, Ticket> t;
  t["battery"] = Timed("ReadBattery", [&] { return program_->ReadBattery(); });
  t["switch"] = Timed("SwitchProfile", [&] { return program_->SwitchProfile(2); });
  t["choose"] = Timed("ChooseDevice", [&] { return program_->ChooseDevice(h); });
  t["restore"] = Timed("RestoreDefaults", [&] { return program_->RestoreDefaults(); });
  ExpectEachEndedOnce(t);
  EXPECT_EQ(program_->Result(t["switch"]), std::optional<bool>(false));
  EXPECT_EQ(events_.Last(WM_PROFILE_SWITCHED)->l, -1);
  // The worker asked the receiver while choosing: the mouse is away.
  EXPECT_EQ(Timed("CanChangeSettings", [&] { return program_->CanChangeSettings(); }), 0);
  bool told = false;
  for (const auto& m : program_->TakeMessages()) told = told || m.text == Tx("tc_msg10");
  EXPECT_TRUE(told);
  // Awake again: the refusal made the worker look again.
  Mouse(0)->SetAsleep(false);
  ASSERT_TRUE(WaitUntil([&] { return program_->CanChangeSettings() == 1; }));
}

// Read tickets: a waiter that comes after the read ended is released at
// once, never by the next read; a read while no window is shown ends its
// ticket too. Kind 1 and 2 notifications land in the record once decoded.
TEST_F(ProgramTest, ProgramReadTicketsAndDecodedBehaviour) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}, /*visible=*/false));
  const int k = Entry(0x10, 0x01);
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(k)));
  const Ticket choose = program_->ChooseDevice(k);
  ASSERT_TRUE(program_->Wait(choose, kWaitMs));

  const Ticket a = program_->ReadProfile();
  ASSERT_TRUE(events_.WaitFor(WM_OPERATION_DONE, 1, a));
  // The read has ended before anyone waits for it.
  const auto t0 = SteadyClock::now();
  EXPECT_TRUE(program_->Wait(a, 0));
  EXPECT_LT(SteadyClock::now() - t0, kCallBound);
  EXPECT_TRUE(program_->Session().WaitReadDone(0));  // the latest read, not consumed
  EXPECT_TRUE(program_->Session().WaitReadDone(0));
  // A slow second read does not end its waiter early.
  Mouse(0)->SetLatency(200);
  const Ticket b = program_->ReadProfile();
  EXPECT_FALSE(program_->Wait(b, 100));
  Mouse(0)->SetLatency(0);
  ASSERT_TRUE(program_->Wait(b, 60000));
  EXPECT_EQ(program_->Result(b), std::optional<bool>(true));
  EXPECT_EQ(events_.Count(WM_OPERATION_DONE, a), 1);
  EXPECT_EQ(events_.Count(WM_OPERATION_DONE, b), 1);
  EXPECT_EQ(events_.Count(WM_READ_DONE), 3);  // choose, a, b

  // The DPI button on the mouse: the device object's level moves, the record
  // knows it was decoded.
  const int levelBefore = program_->CurDpiLevel();
  Mouse(0)->PressDpiButton();
  ASSERT_TRUE(events_.WaitFor(WM_BEHAVIOR_DECODED, 1, uintptr_t(k)));
  EXPECT_NE(program_->CurDpiLevel(), levelBefore);
  EXPECT_EQ(program_->Manager().List().Device(size_t(k))->nCurDpiLevel.load(),
            program_->CurDpiLevel());
  // The rate button: the record's rate follows.
  const uint32_t rateBefore = program_->Profile()->dwPollingRate;
  Mouse(0)->CycleRate();
  ASSERT_TRUE(events_.WaitFor(WM_BEHAVIOR_DECODED, 2, uintptr_t(k)));
  EXPECT_NE(program_->Profile()->dwPollingRate, rateBefore);
  const Ticket fresh = program_->ReadProfile();
  ASSERT_TRUE(program_->Wait(fresh, kWaitMs));
  EXPECT_EQ(program_->Profile()->dwPollingRate != rateBefore, true);  // the device agrees
}

// Exit cancels what never ran, once each, and operations after Exit end at once.
TEST_F(ProgramTest, ProgramExitEndsPendingOperations) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  const int k = Entry(0x10, 0x01);
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(k)));
  Mouse(0)->SetLatency(300);
  std::vector<Ticket> ts;
  for (int i = 0; i < 5; ++i) ts.push_back(program_->ReadBattery());
  EXPECT_EQ(program_->Exit(), 1);
  for (Ticket t : ts) {
    EXPECT_TRUE(program_->Result(t).has_value());
    EXPECT_EQ(events_.Count(WM_OPERATION_DONE, t), 1);
  }
  const Ticket late = program_->ReadBattery();
  EXPECT_EQ(program_->Result(late), std::optional<bool>(false));
  EXPECT_EQ(Mouse(0)->Snapshot().drvStatus, 0);
}

}  // namespace
}  // namespace tolvane::test

namespace tolvane::test {
namespace {

// The lighting check asks the mouse on the worker and answers with an event
// carrying its ticket: 1 while the mouse refuses lighting changes, else 0.
TEST_F(ProgramTest, ProgramLightingCheckAnswersWithAnEvent) {
  ASSERT_NO_FATAL_FAILURE(Start({"pro:cid=10,mid=1"}));
  const int k = Entry(0x10, 0x01);
  ASSERT_TRUE(events_.WaitFor(WM_NEW_DEVICE, 1, uintptr_t(k)));
  ASSERT_TRUE(program_->Wait(program_->ChooseDevice(k), kWaitMs));
  Mouse(0)->LockLighting(true);
  Mouse(0)->SetLatency(200);
  const Ticket locked = Timed("CheckLighting", [&] { return program_->CheckLighting(); });
  ASSERT_TRUE(events_.WaitFor(WM_LIGHTING_CHECKED, 1, locked));
  EXPECT_EQ(events_.Last(WM_LIGHTING_CHECKED)->l, 1);
  Mouse(0)->SetLatency(0);
  Mouse(0)->LockLighting(false);
  const Ticket open = program_->CheckLighting();
  ASSERT_TRUE(events_.WaitFor(WM_LIGHTING_CHECKED, 1, open));
  EXPECT_EQ(events_.Last(WM_LIGHTING_CHECKED)->l, 0);
  ExpectEachEndedOnce({{"locked", locked}, {"open", open}});
  EXPECT_EQ(program_->Result(open), std::optional<bool>(true));
}

}  // namespace
}  // namespace tolvane::test
