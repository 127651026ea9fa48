// The report paths of a hidraw node over a stand-in descriptor: one end of a
// packet socket pair is the node, the other end plays the device.
#include "platform/hidraw_io.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace tolvane::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Report MakeReport(uint8_t id, uint8_t fill) {
  Report r{};
  r[0] = id;
  for (size_t i = 1; i < r.size(); ++i) r[i] = static_cast<uint8_t>(fill + i);
  return r;
}

long Ms(Clock::duration d) { return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv), 0);
    dev_ = sv[1];
    sys_.ioctl = [this](int, unsigned long req, void* arg) {
      requests_.push_back(req);
      const auto* b = static_cast<const uint8_t*>(arg);
      features_.emplace_back(b, b + kReportLen);
      if (!featureErrors_.empty()) {
        int e = featureErrors_.front();
        featureErrors_.erase(featureErrors_.begin());
        if (e) {
          errno = e;
          return -1;
        }
      }
      return static_cast<int>(kReportLen);
    };
    node_ = HidrawNode::Adopt(sv[0], numbered_, sys_, "hidraw9");
  }
  void TearDown() override {
    if (dev_ >= 0) ::close(dev_);
  }
  void DeviceSends(const uint8_t* data, size_t len) { ASSERT_EQ(::send(dev_, data, len, 0), static_cast<ssize_t>(len)); }
  void DeviceSends(const Report& r) { DeviceSends(r.data(), r.size()); }
  void Unplug() {
    ::close(dev_);
    dev_ = -1;
  }

  bool numbered_ = true;
  int dev_ = -1;
  HidrawSys sys_;
  std::vector<unsigned long> requests_;
  std::vector<std::vector<uint8_t>> features_;
  std::vector<int> featureErrors_;
  std::shared_ptr<HidrawNode> node_;
};

TEST_F(StandIn, InputReportsGoToTheCollectionOfTheirId) {
  auto notify = node_->OpenCollection({9});
  auto mouse = node_->OpenCollection({1, 2});
  auto command = node_->OpenCollection({});
  Report wrongSum = MakeReport(9, 0x40);
  wrongSum[16] = 0xEE;  // delivered as it came, checksum or not
  DeviceSends(MakeReport(1, 0x10));
  DeviceSends(MakeReport(5, 0x50));  // no collection has id 5
  DeviceSends(wrongSum);
  DeviceSends(MakeReport(2, 0x20));

  Report r;
  ASSERT_EQ(notify->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, wrongSum);
  // The mouse report read on the way was kept for the mouse handle.
  ASSERT_EQ(mouse->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, MakeReport(1, 0x10));
  ASSERT_EQ(mouse->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, MakeReport(2, 0x20));
  EXPECT_EQ(notify->Read(r, 20), HidStatus::Timeout);
  EXPECT_EQ(command->Read(r, 20), HidStatus::Timeout);

  // Reports nobody reads are kept up to the limit, oldest dropped first.
  const size_t extra = 6;
  for (size_t i = 0; i < HidrawNode::kQueueLimit + extra; ++i) {
    DeviceSends(MakeReport(9, static_cast<uint8_t>(i)));
  }
  for (size_t i = 0; i < HidrawNode::kQueueLimit + extra; ++i) {
    Report m;
    if (mouse->Read(m, 0) == HidStatus::Ok) ADD_FAILURE() << "a notify report reached the mouse";
    (void)m;
  }
  for (size_t i = extra; i < HidrawNode::kQueueLimit + extra; ++i) {
    ASSERT_EQ(notify->Read(r, 200), HidStatus::Ok) << i;
    EXPECT_EQ(r, MakeReport(9, static_cast<uint8_t>(i)));
  }
  EXPECT_EQ(notify->Read(r, 0), HidStatus::Timeout);
}

TEST_F(StandIn, TwoWaitingHandlesBothGetTheirReports) {
  auto notify = node_->OpenCollection({9});
  auto mouse = node_->OpenCollection({1});
  for (int round = 0; round < 20; ++round) {
    auto m = std::async(std::launch::async, [&] {
      Report r;
      HidStatus s = mouse->Read(r, 2000);
      return std::make_pair(s, r);
    });
    std::this_thread::sleep_for(5ms);  // the mouse handle becomes the reader
    auto n = std::async(std::launch::async, [&] {
      Report r;
      HidStatus s = notify->Read(r, 2000);
      return std::make_pair(s, r);
    });
    std::this_thread::sleep_for(5ms);
    // The mouse report first: the reader leaves with it, and the notify
    // handle still waiting must take over the reading.
    DeviceSends(MakeReport(1, static_cast<uint8_t>(round)));
    auto mr = m.get();
    std::this_thread::sleep_for(5ms);
    DeviceSends(MakeReport(9, static_cast<uint8_t>(round)));
    auto nr = n.get();
    ASSERT_EQ(mr.first, HidStatus::Ok) << round;
    ASSERT_EQ(nr.first, HidStatus::Ok) << round;
    EXPECT_EQ(mr.second, MakeReport(1, static_cast<uint8_t>(round)));
    EXPECT_EQ(nr.second, MakeReport(9, static_cast<uint8_t>(round)));
  }
}

TEST_F(StandIn, TimeoutAndCancel) {
  auto h = node_->OpenCollection({9});
  Report r;
  auto t0 = Clock::now();
  EXPECT_EQ(h->Read(r, 60), HidStatus::Timeout);
  EXPECT_GE(Ms(Clock::now() - t0), 60);
  EXPECT_LT(Ms(Clock::now() - t0), 400);

  // A waiting read ends at once, long before its time-out.
  auto pending = std::async(std::launch::async, [&] {
    Report x;
    return h->Read(x, 10000);
  });
  std::this_thread::sleep_for(30ms);
  t0 = Clock::now();
  h->CancelRead();
  ASSERT_EQ(pending.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(pending.get(), HidStatus::Cancelled);
  EXPECT_LT(Ms(Clock::now() - t0), 200);

  // A cancel before the read ends that read, once; a report waiting does not
  // outrank it.
  DeviceSends(MakeReport(9, 1));
  h->CancelRead();
  EXPECT_EQ(h->Read(r, 1000), HidStatus::Cancelled);
  EXPECT_EQ(h->Read(r, 1000), HidStatus::Ok);
  EXPECT_EQ(h->Read(r, 20), HidStatus::Timeout);
}

TEST_F(StandIn, HangUpMeansNotConnectedForEveryHandle) {
  auto notify = node_->OpenCollection({9});
  auto command = node_->OpenCollection({});
  DeviceSends(MakeReport(9, 3));
  Unplug();
  EXPECT_FALSE(node_->Alive());
  Report r;
  // What arrived before the device went is still delivered.
  ASSERT_EQ(notify->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, MakeReport(9, 3));
  auto t0 = Clock::now();
  EXPECT_EQ(notify->Read(r, 5000), HidStatus::NotConnected);
  EXPECT_LT(Ms(Clock::now() - t0), 500);
  EXPECT_EQ(notify->LastError(), ENODEV);
  EXPECT_EQ(notify->Read(r, 5000), HidStatus::NotConnected);
  EXPECT_EQ(command->SendFeature(MakeReport(8, 0)), HidStatus::NotConnected);
  EXPECT_EQ(command->Write(MakeReport(8, 0), 200), HidStatus::NotConnected);
  EXPECT_TRUE(features_.empty());
}

TEST_F(StandIn, HangUpWakesAHandleWaitingBehindTheReader) {
  auto notify = node_->OpenCollection({9});
  auto mouse = node_->OpenCollection({1});
  auto a = std::async(std::launch::async, [&] {
    Report r;
    return notify->Read(r, 5000);
  });
  auto b = std::async(std::launch::async, [&] {
    Report r;
    return mouse->Read(r, 5000);
  });
  std::this_thread::sleep_for(30ms);
  Unplug();
  ASSERT_EQ(a.wait_for(1s), std::future_status::ready);
  ASSERT_EQ(b.wait_for(1s), std::future_status::ready);
  EXPECT_EQ(a.get(), HidStatus::NotConnected);
  EXPECT_EQ(b.get(), HidStatus::NotConnected);
}

TEST_F(StandIn, WriteSendsTheReportAndTimesOutWhenItCannotGoOut) {
  auto h = node_->OpenCollection({8});
  Report out = MakeReport(8, 0x70);
  ASSERT_EQ(h->Write(out, 200), HidStatus::Ok);
  uint8_t got[64];
  ASSERT_EQ(::recv(dev_, got, sizeof got, 0), 17);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 17), std::vector<uint8_t>(out.begin(), out.end()));

  // A device that takes nothing more: the write stays pending, then times out.
  while (h->Write(out, 0) == HidStatus::Ok) {
  }
  auto t0 = Clock::now();
  EXPECT_EQ(h->Write(out, 50), HidStatus::Timeout);
  EXPECT_GE(Ms(Clock::now() - t0), 50);
  EXPECT_LT(Ms(Clock::now() - t0), 500);
}

TEST_F(StandIn, FeatureReportsAndTheirErrors) {
  auto h = node_->OpenCollection({});
  Report cmd = MakeReport(8, 0x03);
  ASSERT_EQ(h->SendFeature(cmd), HidStatus::Ok);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0], static_cast<unsigned long>(HIDIOCSFEATURE(17)));
  EXPECT_EQ(features_[0], std::vector<uint8_t>(cmd.begin(), cmd.end()));

  struct Case {
    int err;
    HidStatus want;
  } cases[] = {
      {EPIPE, HidStatus::Failed},     {ETIMEDOUT, HidStatus::Failed},   {EPROTO, HidStatus::Failed},
      {ENODEV, HidStatus::NotConnected}, {EIO, HidStatus::NotConnected}, {ESHUTDOWN, HidStatus::NotConnected},
  };
  for (const auto& c : cases) {
    featureErrors_ = {c.err};
    EXPECT_EQ(h->SendFeature(cmd), c.want) << c.err;
    EXPECT_EQ(h->LastError(), c.err);
  }
  // An interrupted call is made again, not reported.
  featureErrors_ = {EINTR, 0};
  const size_t before = features_.size();
  EXPECT_EQ(h->SendFeature(cmd), HidStatus::Ok);
  EXPECT_EQ(features_.size(), before + 2);
}

class UnnumberedStandIn : public StandIn {
 protected:
  void SetUp() override {
    numbered_ = false;
    StandIn::SetUp();
  }
};

TEST_F(UnnumberedStandIn, BareReportsGetAZeroIdInFront) {
  auto h = node_->OpenCollection({0});
  const uint8_t shortReport[] = {0x01, 0x02, 0x03};
  std::vector<uint8_t> longReport(40);
  for (size_t i = 0; i < longReport.size(); ++i) longReport[i] = static_cast<uint8_t>(0x80 + i);
  DeviceSends(shortReport, sizeof shortReport);
  DeviceSends(longReport.data(), longReport.size());
  Report r;
  ASSERT_EQ(h->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r, (Report{0, 1, 2, 3}));
  ASSERT_EQ(h->Read(r, 500), HidStatus::Ok);
  EXPECT_EQ(r[0], 0);
  EXPECT_TRUE(std::equal(r.begin() + 1, r.end(), longReport.begin()));
}

}  // namespace
}  // namespace tolvane::platform

namespace tolvane::platform {
namespace {

// Two programs opening the same node: the exchange lock of one keeps the
// other out until it is released, and a nested hold within one program
// does not release it early.
TEST(HidrawExchangeLock, AnotherOpenOfTheNodeWaitsAndFailsInBoundedTime) {
  char path[] = "/tmp/tolvane-hidraw-lock-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const int other = ::open(path, O_RDWR);
  ASSERT_GE(other, 0);
  auto mine = HidrawNode::Adopt(fd, true, HidrawSys{}, "hidraw9");
  auto theirs = HidrawNode::Adopt(other, true, HidrawSys{}, "hidraw9");
  auto a = mine->OpenCollection({0});
  auto b = theirs->OpenCollection({0});

  ASSERT_TRUE(a->Lock(100));
  ASSERT_TRUE(a->Lock(100));  // nested
  a->Unlock();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(b->Lock(150));
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  EXPECT_EQ(b->LastError(), EBUSY);
  a->Unlock();
  EXPECT_TRUE(b->Lock(100));
  EXPECT_FALSE(a->Lock(50));
  b->Unlock();
  EXPECT_TRUE(a->Lock(50));
  a->Unlock();
  ::unlink(path);
}

}  // namespace
}  // namespace tolvane::platform
