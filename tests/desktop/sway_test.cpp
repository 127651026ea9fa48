// sway: the IPC backend against a fake IPC server.
#include <gtest/gtest.h>

#include "../macro/temp_library.h"
#include "fake_sway.h"
#include "platform/desktop/sway_pointer.h"

namespace tolvane::test {
namespace {

using platform::SwayPointerSettings;

TEST(SwayPointer, ReadsThePointerAndSendsPointerCommands) {
  TempUserDir dir;
  FakeSway sway(dir.Dir() + "sway.sock");
  SwayPointerSettings p(dir.Dir() + "sway.sock");
  const unsigned bits = kPointerSpeed | kPointerPrecision | kPointerScrollLines;
  EXPECT_EQ(p.Capabilities(), (PointerCapabilities{bits, bits}));
  PointerValues v = p.Current();  // the pointer's, not the touchpad's
  EXPECT_EQ(v.nPointerSpeed, 13);  // 0.25 -> 12.5 -> 13
  EXPECT_TRUE(v.bEnhancePrecision);
  EXPECT_EQ(v.nScrollLines, 3);

  p.SetPointerSpeed(5);
  p.SetAcceleration(false);
  p.SetScrollLines(1);
  p.SetScrollLines(-1);  // no page mode: no command
  p.SetDoubleClickTime(300);  // sway has none: no command
  EXPECT_EQ(sway.Commands(),
            (std::vector<std::string>{"input type:pointer pointer_accel -0.556",
                                      "input type:pointer accel_profile flat",
                                      "input type:pointer scroll_factor 0.333"}));
  v = p.Current();
  EXPECT_EQ(v.nPointerSpeed, 5);
  EXPECT_FALSE(v.bEnhancePrecision);
  EXPECT_EQ(v.nScrollLines, 1);
}

TEST(SwayPointer, NoPointerYetStillSetsButReadsNothing) {
  TempUserDir dir;
  FakeSway sway(dir.Dir() + "s");
  sway.withPointer = false;
  SwayPointerSettings p(dir.Dir() + "s");
  EXPECT_EQ(p.Capabilities().read, 0u);
  p.SetPointerSpeed(20);
  EXPECT_EQ(sway.Commands(), (std::vector<std::string>{"input type:pointer pointer_accel 1"}));
}

TEST(SwayPointer, NoServerOrGarbledRepliesAllowNothingAndNeverHang) {
  TempUserDir dir;
  SwayPointerSettings none(dir.Dir() + "missing.sock");
  EXPECT_TRUE(none.Capabilities().Empty());

  FakeSway sway(dir.Dir() + "g");
  sway.garbleReplies = true;
  SwayPointerSettings p(dir.Dir() + "g");
  EXPECT_EQ(p.Capabilities().read, 0u);  // GET_INPUTS answered, but not as JSON
  EXPECT_EQ(p.Current(), PointerValues{});
  p.SetPointerSpeed(7);  // logged as failed
  EXPECT_EQ(sway.Commands().size(), 1u);
}

}  // namespace
}  // namespace tolvane::test
