#include "platform/hidraw_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "fake_sysfs.h"
#include "platform/udev_rules.h"
#include "support/log_capture.h"

namespace tolvane::platform {
namespace {

namespace desc = testing::desc;
using testing::FakeSysfs;

class HidrawTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto mouse = sys_.AddUsbDevice("1-2", 0x3151, 0x4010, 0x0105);
    sys_.AddNode("hidraw5", mouse, kBusUsb, 0x3151, 0x4010,
                 desc::Cat({desc::BootMouse(1), desc::Consumer(), desc::ProNotify(), desc::ProCommand()}));
    auto receiver = sys_.AddUsbDevice("1-3", 0x3151, 0x5020, 0x0203);
    sys_.AddNode("hidraw10", receiver, kBusUsb, 0x3151, 0x5020, desc::ProPlus());
    // FIFOs stand in for the device nodes: they open like one.
    ASSERT_EQ(::mkfifo(sys_.Dev("hidraw5").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(sys_.Dev("hidraw10").c_str(), 0600), 0);
    hooks_.open = [this](const char* path, int flags) {
      ++opens_;
      if (denied_.count(path)) {
        errno = EACCES;
        return -1;
      }
      return ::open(path, flags);
    };
    hooks_.ioctl = [this](int, unsigned long req, void* arg) {
      if (req != static_cast<unsigned long>(HIDIOCSFEATURE(17))) {
        errno = EINVAL;
        return -1;
      }
      const auto* b = static_cast<const uint8_t*>(arg);
      features_.emplace_back(b, b + 17);
      return 17;
    };
  }
  std::string Path(const std::string& node, int coll) { return sys_.Dev(node).string() + "#" + std::to_string(coll); }
  // Puts one report into the node as if the device had sent it.
  void DeviceSends(const std::string& node, const Report& r) {
    int fd = ::open(sys_.Dev(node).c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, r.data(), r.size()), 17);
    ::close(fd);
  }

  FakeSysfs sys_;
  HidrawSys hooks_;
  int opens_ = 0;
  std::set<std::string> denied_;
  std::vector<std::vector<uint8_t>> features_;
  test::LogCapture log_;
};

TEST_F(HidrawTransportTest, EnumeratedCollectionsOpenAndCarryReports) {
  HidrawTransport t(sys_.Roots(), hooks_);
  std::vector<HidIfInfo> ifs = t.Enumerate();
  ASSERT_EQ(ifs.size(), 5u);
  EXPECT_EQ(ifs[2].szPath, Path("hidraw5", 2));
  EXPECT_EQ(ifs[4].szPath, Path("hidraw10", 0));

  int err = -1;
  auto notify = t.Open(ifs[2].szPath, HidRole::ProNotify, &err);
  ASSERT_TRUE(notify) << err;
  auto command = t.Open(ifs[3].szPath, HidRole::ProCommand, &err);
  ASSERT_TRUE(command) << err;

  Report cmd{8, 3};
  cmd[16] = 0x4A;
  ASSERT_EQ(command->SendFeature(cmd), HidStatus::Ok);
  ASSERT_EQ(features_.size(), 1u);
  EXPECT_EQ(features_[0], std::vector<uint8_t>(cmd.begin(), cmd.end()));

  // A mouse report is for the mouse collection, which nobody opened; the
  // notify handle waits for its own id.
  Report r;
  DeviceSends("hidraw5", Report{1, 0x01, 0x05});
  EXPECT_EQ(notify->Read(r, 50), HidStatus::Timeout);
  Report reply{9, 3, 0, 0, 0, 0, 1};
  DeviceSends("hidraw5", reply);
  ASSERT_EQ(notify->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, reply);

  // The PRO+ interface reads and writes on its one collection.
  auto plus = t.Open(ifs[4].szPath, HidRole::ProPlus, &err);
  ASSERT_TRUE(plus) << err;
  ASSERT_EQ(plus->Write(cmd, 200), HidStatus::Ok);
  ASSERT_EQ(plus->Read(r, 500), HidStatus::Ok);  // the FIFO hands the report back
  EXPECT_EQ(r, cmd);
}

TEST_F(HidrawTransportTest, OpenFailuresSayWhy) {
  HidrawTransport t(sys_.Roots(), hooks_);
  int err = 0;
  EXPECT_FALSE(t.Open("", HidRole::ProNotify, &err));
  EXPECT_EQ(err, EINVAL);
  EXPECT_FALSE(t.Open(sys_.Dev("hidraw5").string() + "#x", HidRole::ProNotify, &err));
  EXPECT_EQ(err, EINVAL);
  EXPECT_FALSE(t.Open(Path("hidraw5", 4), HidRole::ProNotify, &err));  // no fifth collection
  EXPECT_EQ(err, ENOENT);
  EXPECT_FALSE(t.Open(Path("hidraw6", 0), HidRole::ProNotify, &err));  // no such node
  EXPECT_EQ(err, ENOENT);
  ASSERT_EQ(::mkfifo(sys_.Dev("hidraw7").c_str(), 0600), 0);
  EXPECT_FALSE(t.Open(Path("hidraw7", 0), HidRole::ProNotify, &err));  // node without sysfs entry
  EXPECT_EQ(err, ENODEV);
  EXPECT_TRUE(t.AccessDenied().empty());
}

TEST_F(HidrawTransportTest, AccessDeniedIsLoggedAndListedUntilTheNodeOpens) {
  HidrawTransport t(sys_.Roots(), hooks_);
  const std::string node = sys_.Dev("hidraw10").string();
  denied_.insert(node);
  int err = 0;
  EXPECT_FALSE(t.Open(Path("hidraw10", 0), HidRole::ProPlus, &err));
  EXPECT_EQ(err, EACCES);
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("access denied to " + node), std::string::npos) << lines[0];

  auto denied = t.AccessDenied();
  ASSERT_EQ(denied.size(), 1u);
  EXPECT_EQ(denied[0].node, node);
  EXPECT_EQ(denied[0].err, EACCES);
  const std::string msg = AccessDeniedMessage(denied[0]);
  EXPECT_EQ(msg.rfind(node + ": access denied", 0), 0u) << msg;
  EXPECT_NE(msg.find(kUdevInstallCommand), std::string::npos) << msg;

  t.Enumerate();  // the node is still there: still listed
  EXPECT_EQ(t.AccessDenied().size(), 1u);
  denied_.clear();  // the rule was installed
  EXPECT_TRUE(t.Open(Path("hidraw10", 0), HidRole::ProPlus, &err));
  EXPECT_TRUE(t.AccessDenied().empty());

  denied_.insert(node);
  EXPECT_FALSE(t.Open(Path("hidraw10", 0), HidRole::ProPlus, &err));
  std::filesystem::remove(sys_.Roots().sysRoot + "/class/hidraw/hidraw10");  // unplugged
  t.Enumerate();
  EXPECT_TRUE(t.AccessDenied().empty());
}

TEST_F(HidrawTransportTest, EveryOpenLooksAtTheNodeAndCollectionsShareOneDescriptor) {
  HidrawTransport t(sys_.Roots(), hooks_);
  int err = 0;
  auto a = t.Open(Path("hidraw5", 2), HidRole::ProNotify, &err);
  auto b = t.Open(Path("hidraw5", 3), HidRole::ProCommand, &err);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(opens_, 2);
  // Both collections read from one descriptor: a report read by the mouse
  // collection's handle on the way reaches the notify handle.
  auto mouse = t.Open(Path("hidraw5", 0), HidRole::ProNotify, &err);
  ASSERT_TRUE(mouse);
  Report r;
  DeviceSends("hidraw5", Report{9, 0x0A});
  EXPECT_EQ(mouse->Read(r, 50), HidStatus::Timeout);
  ASSERT_EQ(a->Read(r, 0), HidStatus::Ok);
  EXPECT_EQ(r[1], 0x0A);
  // With the node gone, an open fails even while handles on it live on.
  std::filesystem::remove(sys_.Dev("hidraw5"));
  EXPECT_FALSE(t.Open(Path("hidraw5", 3), HidRole::ProCommand, &err));
  EXPECT_EQ(err, ENOENT);
}

}  // namespace
}  // namespace tolvane::platform
