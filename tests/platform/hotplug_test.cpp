#include "platform/hotplug.h"

#include <gtest/gtest.h>

#include <chrono>

#include "fake_sysfs.h"

namespace tolvane::platform {
namespace {

namespace desc = testing::desc;
using testing::FakeSysfs;

TEST(Hotplug, ArrivalsAndRemovalsCarryTheIdsOfTheNode) {
  FakeSysfs sys;
  auto usb = sys.AddUsbDevice("1-2", 0x3151, 0x40ab, 0x0100);
  sys.AddNode("hidraw3", usb, kBusUsb, 0x3151, 0x40ab, desc::ProPlus());
  HotplugIdentities ids;
  const std::string name = sys.Roots().devRoot + "/hidraw3 VID_3151&PID_40AB";

  auto in = TranslateHotplug("add", "hidraw3", sys.Roots(), ids);
  ASSERT_TRUE(in);
  EXPECT_TRUE(in->arrival);
  EXPECT_EQ(in->name, name);

  // By the time the removal comes, sysfs has nothing left to read.
  std::filesystem::remove(sys.Roots().sysRoot + "/class/hidraw/hidraw3");
  auto out = TranslateHotplug("remove", "hidraw3", sys.Roots(), ids);
  ASSERT_TRUE(out);
  EXPECT_FALSE(out->arrival);
  EXPECT_EQ(out->name, name);
  EXPECT_FALSE(TranslateHotplug("remove", "hidraw3", sys.Roots(), ids));  // already gone

  // A node known from an enumeration is named too; unknown nodes, unreadable
  // arrivals and other actions give nothing.
  ids.Remember("hidraw8", 0x3151, 0x0007);
  auto enumerated = TranslateHotplug("remove", "hidraw8", sys.Roots(), ids);
  ASSERT_TRUE(enumerated);
  EXPECT_EQ(enumerated->name, sys.Roots().devRoot + "/hidraw8 VID_3151&PID_0007");
  EXPECT_FALSE(TranslateHotplug("remove", "hidraw9", sys.Roots(), ids));
  EXPECT_FALSE(TranslateHotplug("add", "hidraw3", sys.Roots(), ids));
  EXPECT_FALSE(TranslateHotplug("change", "hidraw8", sys.Roots(), ids));
}

TEST(Hotplug, MonitorStopsAtOnce) {
  HotplugIdentities ids;
  UdevMonitor mon(HidrawRoots{}, ids);
  if (!mon.Start([](const HotplugEvent&) {})) GTEST_SKIP() << "no netlink monitor here";
  EXPECT_STRNE(mon.Group(), "");
  for (int i = 0; i < 3; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    mon.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
    EXPECT_STREQ(mon.Group(), "");
    ASSERT_TRUE(mon.Start([](const HotplugEvent&) {}));
  }
}

}  // namespace
}  // namespace tolvane::platform
