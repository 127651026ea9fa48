#include "platform/hidraw_sysfs.h"

#include <gtest/gtest.h>

#include "fake_sysfs.h"

namespace tolvane::platform {
namespace {

namespace desc = testing::desc;
using testing::FakeSysfs;

TEST(HidrawSysfs, EveryCollectionOfEveryNodeBecomesARecord) {
  FakeSysfs sys;
  // A wired PRO mouse: interface 0 the boot mouse alone, interface 1 the
  // keys, the notify and the command collection.
  auto mouse = sys.AddUsbDevice("1-2", 0x3151, 0x4010, 0x0105);
  sys.AddNode("hidraw4", mouse, kBusUsb, 0x3151, 0x4010, desc::BootMouse());
  sys.AddNode("hidraw5", mouse, kBusUsb, 0x3151, 0x4010,
              desc::Cat({desc::BootMouse(1), desc::Consumer(), desc::ProNotify(), desc::ProCommand()}));
  // A PRO+ receiver numbered past 9, so order must be numeric.
  auto receiver = sys.AddUsbDevice("1-3", 0x3151, 0x5020, 0x0203);
  sys.AddNode("hidraw10", receiver, kBusUsb, 0x3151, 0x5020, desc::ProPlus());
  // A Bluetooth keyboard below the USB adapter: its version is not the adapter's.
  auto adapter = sys.AddUsbDevice("1-4", 0x8087, 0x0026, 0x0002);
  sys.AddNode("hidraw2", adapter / "bt", 0x05, 0x046E, 0x5577, desc::Consumer());

  std::vector<HidIfInfo> ifs = InterfacesOf(ScanHidrawNodes(sys.Roots()));
  ASSERT_EQ(ifs.size(), 7u);
  const std::string dev = sys.Roots().devRoot;
  struct Want {
    std::string path;
    uint32_t page, usage, in, out, feat, vid, pid, ver;
  } want[] = {
      {dev + "/hidraw2#0", 0x0C, 1, 3, 0, 0, 0x046E, 0x5577, 0},
      {dev + "/hidraw4#0", 0x01, 2, 5, 0, 0, 0x3151, 0x4010, 0x0105},
      {dev + "/hidraw5#0", 0x01, 2, 5, 0, 0, 0x3151, 0x4010, 0x0105},
      {dev + "/hidraw5#1", 0x0C, 1, 3, 0, 0, 0x3151, 0x4010, 0x0105},
      {dev + "/hidraw5#2", 0xFF01, 0, 17, 0, 0, 0x3151, 0x4010, 0x0105},
      {dev + "/hidraw5#3", 0xFF02, 2, 0, 0, 17, 0x3151, 0x4010, 0x0105},
      {dev + "/hidraw10#0", 0xFF02, 2, 17, 17, 0, 0x3151, 0x5020, 0x0203},
  };
  for (size_t i = 0; i < ifs.size(); ++i) {
    const auto& r = ifs[i];
    const auto& w = want[i];
    EXPECT_EQ(r.szPath, w.path) << i;
    EXPECT_EQ(r.nUsagePage, w.page) << i;
    EXPECT_EQ(r.nUsage, w.usage) << i;
    EXPECT_EQ(r.nInputLen, w.in) << i;
    EXPECT_EQ(r.nOutputLen, w.out) << i;
    EXPECT_EQ(r.nFeatureLen, w.feat) << i;
    EXPECT_EQ(r.nVID, w.vid) << i;
    EXPECT_EQ(r.nPID, w.pid) << i;
    EXPECT_EQ(r.nVersion, w.ver) << i;
  }
}

TEST(HidrawSysfs, UnreadableNodesAreLeftOut) {
  FakeSysfs sys;
  auto usb = sys.AddUsbDevice("1-2", 0x3151, 0x4010, 0x0100);
  sys.AddNode("hidraw0", usb, kBusUsb, 0x3151, 0x4010, desc::ProNotify(), "HID_NAME=no id\n");
  sys.AddNode("hidraw1", usb, kBusUsb, 0x3151, 0x4010, desc::ProNotify(), "HID_ID=0003:3151\n");
  auto hid = sys.AddNode("hidraw2", usb, kBusUsb, 0x3151, 0x4010, desc::ProNotify());
  std::filesystem::remove(hid / "report_descriptor");
  sys.AddNode("hidraw3", usb, kBusUsb, 0x3151, 0x4010, desc::ProCommand(), "HID_ID=0003:00003151:00004010");
  std::filesystem::create_directories(sys.Roots().sysRoot + "/class/hidraw/hidrawX");

  auto nodes = ScanHidrawNodes(sys.Roots());
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0].name, "hidraw3");
  EXPECT_EQ(nodes[0].devPath, sys.Roots().devRoot + "/hidraw3");
  EXPECT_EQ(nodes[0].vid, 0x3151u);
  EXPECT_EQ(nodes[0].pid, 0x4010u);
  EXPECT_EQ(nodes[0].version, 0x0100u);

  // No hidraw class at all (no HID driver loaded) is an empty list.
  EXPECT_TRUE(ScanHidrawNodes({"/nonexistent-sysfs", "/dev"}).empty());
}

TEST(HidrawSysfs, PathsAndIds) {
  std::string dev;
  size_t idx = 99;
  EXPECT_TRUE(SplitCollectionPath(CollectionPath("/dev/hidraw3", 2), &dev, &idx));
  EXPECT_EQ(dev, "/dev/hidraw3");
  EXPECT_EQ(idx, 2u);
  EXPECT_TRUE(SplitCollectionPath("/dev/hidraw7", &dev, &idx));
  EXPECT_EQ(dev, "/dev/hidraw7");
  EXPECT_EQ(idx, 0u);
  for (const char* bad : {"", "#1", "/dev/hidraw3#", "/dev/hidraw3#x", "/dev/hidraw3#-1", "/dev/h#12345678"}) {
    EXPECT_FALSE(SplitCollectionPath(bad, &dev, &idx)) << bad;
  }

  uint32_t bus, vid, pid;
  EXPECT_TRUE(ParseHidId("0003:00003151:00004010", &bus, &vid, &pid));
  EXPECT_EQ(bus, 3u);
  EXPECT_EQ(vid, 0x3151u);
  EXPECT_EQ(pid, 0x4010u);
  for (const char* bad : {"", "0003", "0003:3151", "0003::4010", "0003:3151:40g0", "0003:3151:4010:1",
                          "0003:123456789:4010"}) {
    EXPECT_FALSE(ParseHidId(bad, &bus, &vid, &pid)) << bad;
  }
}

}  // namespace
}  // namespace tolvane::platform
