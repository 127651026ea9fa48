#include "platform/pointer_settings.h"

#include <gtest/gtest.h>

#include "support/log_capture.h"

namespace tolvane {
namespace {

TEST(MemoryPointerSettings, EachSetterChangesItsOwnValueAndLogsIt) {
  test::LogCapture log;
  MemoryPointerSettings s;
  const PointerValues start = s.Current();
  s.SetDoubleClickTime(700);
  s.SetScrollLines(5);
  s.SetPointerSpeed(14);
  s.SetTrails(2);
  s.SetAcceleration(!start.bEnhancePrecision);
  PointerValues want = start;
  want.nDoubleClickTime = 700;
  want.nScrollLines = 5;
  want.nPointerSpeed = 14;
  want.nTrails = 2;
  want.bEnhancePrecision = !start.bEnhancePrecision;
  EXPECT_EQ(s.Current(), want);
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                             "PointerSettings: double-click time=700",
                             "PointerSettings: scroll lines=5", "PointerSettings: speed=14",
                             "PointerSettings: trails=2",
                             start.bEnhancePrecision ? "PointerSettings: acceleration=0,0,0"
                                                     : "PointerSettings: acceleration=6,10,1"}));
}

}  // namespace
}  // namespace tolvane
