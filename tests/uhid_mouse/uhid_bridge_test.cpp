// The uhid bridge without a kernel: the events it would write are recorded,
// and the kernel's events are fed in as the kernel would send them.
#include "uhid_mouse/uhid_bridge.h"

#include <gtest/gtest.h>
#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/sim_spec.h"
#include "support/test_models.h"

namespace tolvane::uhid {
namespace {

struct Written {
  size_t device;
  uint32_t type;
  std::shared_ptr<uhid_event> ev;
};

Report Command(uint8_t cmd, uint8_t len = 0) {
  Report r{};
  r[0] = sim::kCommandReportId;
  r[1] = cmd;
  r[5] = len;
  r[16] = sim::ReportChecksum(r);
  return r;
}

class BridgeRig {
 public:
  explicit BridgeRig(const std::string& spec, int failCreateAt = -1) {
    std::string err;
    mouse = sim::MakeVirtualMouse(spec, test::TwoFamilyCatalogue(0x10), &err);
    EXPECT_TRUE(mouse) << err;
    bridge = std::make_unique<UhidBridge>(mouse, [this, failCreateAt](size_t d, const uhid_event& ev) {
      std::lock_guard lk(mu);
      if (ev.type == UHID_CREATE2 && int(d) == failCreateAt) return false;
      auto copy = std::make_shared<uhid_event>(ev);
      written.push_back({d, ev.type, copy});
      return true;
    });
  }

  size_t Device(const std::string& name) const {
    for (size_t d = 0; d < bridge->DeviceCount(); ++d)
      if (bridge->InterfaceName(d) == name) return d;
    ADD_FAILURE() << "no interface " << name;
    return 0;
  }
  std::vector<Written> Take() {
    std::lock_guard lk(mu);
    auto w = std::move(written);
    written.clear();
    return w;
  }

  // The kernel's SET_REPORT for a feature (or other) report.
  void SetReport(size_t d, uint32_t id, const uint8_t* data, size_t size,
                 uint8_t rtype = UHID_FEATURE_REPORT) {
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_SET_REPORT;
    ev->u.set_report.id = id;
    ev->u.set_report.rnum = data[0];
    ev->u.set_report.rtype = rtype;
    ev->u.set_report.size = uint16_t(size);
    std::memcpy(ev->u.set_report.data, data, size);
    bridge->HandleEvent(d, *ev);
  }
  void Output(size_t d, const Report& r) {
    auto ev = std::make_unique<uhid_event>();
    std::memset(ev.get(), 0, sizeof *ev);
    ev->type = UHID_OUTPUT;
    ev->u.output.rtype = UHID_OUTPUT_REPORT;
    ev->u.output.size = uint16_t(r.size());
    std::memcpy(ev->u.output.data, r.data(), r.size());
    bridge->HandleEvent(d, *ev);
  }

  std::shared_ptr<sim::VirtualMouse> mouse;
  std::unique_ptr<UhidBridge> bridge;
  std::mutex mu;
  std::vector<Written> written;
};

TEST(UhidBridge, CreatesOneHidDevicePerInterfaceWithItsDescriptorAndIds) {
  for (const char* spec : {"pro:pid=2002,ver=0123", "pro+"}) {
    SCOPED_TRACE(spec);
    BridgeRig rig(spec);
    ASSERT_TRUE(rig.bridge->Create("Model"));
    const auto ifs = rig.mouse->UsbInterfaces();
    const auto w = rig.Take();
    ASSERT_EQ(w.size(), ifs.size());
    ASSERT_EQ(rig.bridge->DeviceCount(), ifs.size());
    for (size_t d = 0; d < w.size(); ++d) {
      const uhid_create2_req& c = w[d].ev->u.create2;
      EXPECT_EQ(w[d].device, d);
      EXPECT_EQ(w[d].type, uint32_t(UHID_CREATE2));
      EXPECT_EQ(c.bus, BUS_USB);
      EXPECT_EQ(c.vendor, rig.mouse->vid());
      EXPECT_EQ(c.product, rig.mouse->pid());
      EXPECT_EQ(c.version, rig.mouse->Snapshot().version);
      ASSERT_EQ(c.rd_size, ifs[d].descriptor.size());
      EXPECT_EQ(std::memcmp(c.rd_data, ifs[d].descriptor.data(), c.rd_size), 0);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.name)), "Model (" + ifs[d].name + ")");
    }
  }
  BridgeRig pro("pro:pid=2002,ver=0123");
  ASSERT_TRUE(pro.bridge->Create("Model"));
  EXPECT_EQ(pro.Take()[0].ev->u.create2.product, 0x2002u);
}

TEST(UhidBridge, ProFeatureReportIsAnsweredAndItsReplyArrivesOnTheNotifyInterface) {
  BridgeRig rig("pro");
  ASSERT_TRUE(rig.bridge->Create("Model"));
  rig.Take();
  const size_t cmd = rig.Device("cmd"), notify = rig.Device("notify");
  const Report r = Command(0x03);
  rig.SetReport(cmd, 77, r.data(), r.size());
  auto w = rig.Take();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].device, cmd);
  EXPECT_EQ(w[0].type, uint32_t(UHID_SET_REPORT_REPLY));
  EXPECT_EQ(w[0].ev->u.set_report_reply.id, 77u);
  EXPECT_EQ(w[0].ev->u.set_report_reply.err, 0);

  ASSERT_TRUE(rig.bridge->PumpInput(1000));
  w = rig.Take();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].device, notify);
  EXPECT_EQ(w[0].type, uint32_t(UHID_INPUT2));
  const uhid_input2_req& in = w[0].ev->u.input2;
  ASSERT_EQ(in.size, kReportLen);
  EXPECT_EQ(in.data[0], sim::kInputReportId);
  EXPECT_EQ(in.data[1], 0x03);  // the command answered
  EXPECT_EQ(in.data[2], 0x00);  // status
  EXPECT_EQ(in.data[6], 0x01);  // connected
  EXPECT_EQ(rig.bridge->ReportsIn(), 1);
  EXPECT_EQ(rig.bridge->ReportsOut(), 1);
}

TEST(UhidBridge, ProPlusOutputReportIsAnsweredOnTheSameInterface) {
  BridgeRig rig("pro+");
  ASSERT_TRUE(rig.bridge->Create("Model"));
  rig.Take();
  const size_t dev = rig.Device("dev");
  rig.Output(dev, Command(0x08, 10));
  EXPECT_TRUE(rig.Take().empty());  // output reports get no answer of their own
  ASSERT_TRUE(rig.bridge->PumpInput(1000));
  auto w = rig.Take();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].device, dev);
  EXPECT_EQ(w[0].ev->u.input2.data[1], 0x08);
  EXPECT_EQ(rig.mouse->CommandsHandled(), 1);
}

TEST(UhidBridge, ReportsTheFirmwareCannotTakeAreRefusedWithoutReachingIt) {
  BridgeRig rig("pro");
  ASSERT_TRUE(rig.bridge->Create("Model"));
  rig.Take();
  const size_t cmd = rig.Device("cmd");
  const Report good = Command(0x03);
  Report wrongId = good;
  wrongId[0] = 5;
  struct Case {
    const char* what;
    const uint8_t* data;
    size_t size;
    uint8_t rtype;
  } cases[] = {
      {"short report", good.data(), 16, UHID_FEATURE_REPORT},
      {"other report id", wrongId.data(), 17, UHID_FEATURE_REPORT},
      {"output report through SET_REPORT", good.data(), 17, UHID_OUTPUT_REPORT},
  };
  uint32_t id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rig.SetReport(cmd, id, c.data, c.size, c.rtype);
    auto w = rig.Take();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].type, uint32_t(UHID_SET_REPORT_REPLY));
    EXPECT_EQ(w[0].ev->u.set_report_reply.id, id);
    EXPECT_NE(w[0].ev->u.set_report_reply.err, 0);
    ++id;
  }
  EXPECT_EQ(rig.mouse->CommandsHandled(), 0);

  // A PRO+ mouse has no feature report: the firmware refuses it.
  BridgeRig plus("pro+");
  ASSERT_TRUE(plus.bridge->Create("Model"));
  plus.Take();
  plus.SetReport(plus.Device("dev"), 9, good.data(), good.size());
  auto w = plus.Take();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].ev->u.set_report_reply.err, 0);

  // Reads of a report are refused, and answered at once so the kernel
  // does not wait for them.
  auto ev = std::make_unique<uhid_event>();
  std::memset(ev.get(), 0, sizeof *ev);
  ev->type = UHID_GET_REPORT;
  ev->u.get_report.id = 41;
  ev->u.get_report.rnum = sim::kCommandReportId;
  ev->u.get_report.rtype = UHID_FEATURE_REPORT;
  rig.bridge->HandleEvent(cmd, *ev);
  w = rig.Take();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].type, uint32_t(UHID_GET_REPORT_REPLY));
  EXPECT_EQ(w[0].ev->u.get_report_reply.id, 41u);
  EXPECT_NE(w[0].ev->u.get_report_reply.err, 0);
}

TEST(UhidBridge, VanishingMidRequestUnplugsTheBusyInterfaceFirstAndAnswersNothing) {
  BridgeRig rig("pro");
  ASSERT_TRUE(rig.bridge->Create("Model"));
  rig.Take();
  const size_t cmd = rig.Device("cmd");
  rig.mouse->UnplugAfterReports(2);  // one exchange, then the next command vanishes
  const Report r = Command(0x03);
  rig.SetReport(cmd, 1, r.data(), r.size());
  ASSERT_TRUE(rig.bridge->PumpInput(1000));
  ASSERT_EQ(rig.Take().size(), 2u);  // reply and input report
  // The vanishing request comes on an interface that is neither first nor
  // last created (the kernel passes feature reports on any of them).
  const size_t notify = rig.Device("notify");
  ASSERT_NE(notify, 0u);
  ASSERT_NE(notify + 1, rig.bridge->DeviceCount());
  rig.SetReport(notify, 2, r.data(), r.size());

  const auto w = rig.Take();
  ASSERT_EQ(w.size(), rig.bridge->DeviceCount());  // no reply, only the unplug
  EXPECT_EQ(w[0].device, notify);
  std::vector<bool> seen(w.size());
  for (const Written& e : w) {
    EXPECT_EQ(e.type, uint32_t(UHID_DESTROY));
    seen[e.device] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), long(w.size()));
  EXPECT_TRUE(rig.bridge->Destroyed());
  EXPECT_FALSE(rig.bridge->PumpInput(1000));

  // Nothing more goes out: not for a late event, not for a second unplug.
  rig.SetReport(cmd, 3, r.data(), r.size());
  rig.bridge->Destroy();
  EXPECT_TRUE(rig.Take().empty());
}

TEST(UhidBridge, FailedCreationUnplugsWhatWasCreated) {
  BridgeRig rig("pro", 1);  // the second interface cannot be created
  EXPECT_FALSE(rig.bridge->Create("Model"));
  const auto w = rig.Take();
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].type, uint32_t(UHID_CREATE2));
  EXPECT_EQ(w[1].type, uint32_t(UHID_DESTROY));
  EXPECT_EQ(w[1].device, 0u);
}

TEST(UhidBridge, InputWithAnUndeclaredIdIsDroppedAndCancelEndsThePump) {
  BridgeRig rig("pro+");
  ASSERT_TRUE(rig.bridge->Create("Model"));
  rig.Take();
  Report stray{};
  stray[0] = 0x42;
  rig.mouse->InjectInput(stray);
  EXPECT_TRUE(rig.bridge->PumpInput(1000));
  EXPECT_TRUE(rig.Take().empty());
  EXPECT_TRUE(rig.bridge->PumpInput(0));  // nothing pending: a time-out, not the end

  std::thread pump([&] {
    while (rig.bridge->PumpInput(5000)) {
    }
  });
  rig.bridge->CancelPump();
  pump.join();  // a hang here is the failure
  EXPECT_FALSE(rig.bridge->Destroyed());
}

}  // namespace
}  // namespace tolvane::uhid
