// The report descriptors of the virtual mouse against what its firmware
// sends and accepts. A kernel takes report ids and lengths from these bytes
// alone and drops an input report whose id they do not declare, so a
// mismatch here is a mouse that answers into the void.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/hid_descriptor.h"
#include "sim/sim_descriptor.h"
#include "sim_rig.h"

namespace tolvane::sim::test {
namespace {

using platform::HidCollection;
using platform::HidDescriptor;
using platform::ParseReportDescriptor;
using platform::ReportKind;

bool Declares(const HidCollection& c, ReportKind kind, uint8_t id) {
  return c.bits[int(kind)].count(id) != 0;
}

TEST(SimDescriptor, EveryInterfaceParsesToTheRecordTheTransportLists) {
  for (const char* spec : {"pro", "pro+"}) {
    SCOPED_TRACE(spec);
    std::string err;
    auto m = MakeVirtualMouse(spec, TestCatalogue(), &err);
    ASSERT_TRUE(m) << err;
    const auto ifs = m->UsbInterfaces();
    const auto records = m->Interfaces();
    ASSERT_EQ(ifs.size(), records.size());
    for (size_t i = 0; i < ifs.size(); ++i) {
      SCOPED_TRACE(ifs[i].name);
      const HidDescriptor d = ParseReportDescriptor(ifs[i].descriptor);
      EXPECT_FALSE(d.malformed);
      ASSERT_EQ(d.collections.size(), 1u);  // one USB interface, one collection
      const HidCollection& c = d.collections[0];
      EXPECT_EQ(records[i].szPath.substr(records[i].szPath.rfind('/') + 1), ifs[i].name);
      EXPECT_EQ(records[i].nUsagePage, c.usagePage);
      EXPECT_EQ(records[i].nInputLen, c.InputLen());
      EXPECT_EQ(records[i].nOutputLen, c.OutputLen());
      EXPECT_EQ(records[i].nFeatureLen, c.FeatureLen());
    }
  }
}

TEST(SimDescriptor, VendorInterfacesDeclareExactlyTheReportsTheFirmwareUses) {
  // PRO: replies come on the notify interface, commands go to the command one.
  const HidCollection notify = ParseReportDescriptor(ProNotifyDescriptor()).collections.at(0);
  EXPECT_EQ(notify.usagePage, 0xFF01u);
  EXPECT_EQ(notify.usage, 0u);
  EXPECT_EQ(notify.InputIds(), std::vector<uint8_t>{kInputReportId});
  EXPECT_EQ(notify.InputLen(), kReportLen);
  EXPECT_EQ(notify.OutputLen() + notify.FeatureLen(), 0u);

  const HidCollection cmd = ParseReportDescriptor(ProCommandDescriptor()).collections.at(0);
  EXPECT_EQ(cmd.usagePage, 0xFF02u);
  EXPECT_EQ(cmd.usage, 2u);
  EXPECT_TRUE(Declares(cmd, ReportKind::Feature, kCommandReportId));
  EXPECT_EQ(cmd.FeatureLen(), kReportLen);
  EXPECT_EQ(cmd.InputLen() + cmd.OutputLen(), 0u);

  // PRO+: both directions on one interface, with different ids.
  const HidCollection plus = ParseReportDescriptor(ProPlusDescriptor()).collections.at(0);
  EXPECT_EQ(plus.usagePage, 0xFF02u);
  EXPECT_EQ(plus.InputIds(), std::vector<uint8_t>{kInputReportId});
  EXPECT_TRUE(Declares(plus, ReportKind::Output, kCommandReportId));
  EXPECT_EQ(plus.InputLen(), kReportLen);
  EXPECT_EQ(plus.OutputLen(), kReportLen);
  EXPECT_EQ(plus.FeatureLen(), 0u);

  // The pointer interface is left to the system: no report ids, no vendor page.
  const HidDescriptor pointer = ParseReportDescriptor(PointerDescriptor());
  EXPECT_FALSE(pointer.usesReportIds);
  ASSERT_EQ(pointer.collections.size(), 1u);
  EXPECT_EQ(pointer.collections[0].usagePage, 0x01u);
  EXPECT_EQ(pointer.collections[0].usage, 0x02u);
}

TEST(SimDescriptor, RepliesAndNotificationsCarryAnIdTheReadingInterfaceDeclares) {
  for (const char* spec : {"pro", "pro+"}) {
    SCOPED_TRACE(spec);
    Rig rig(spec);
    ASSERT_TRUE(rig.out);
    const bool plus = rig.mouse->family() == Family::ProPlus;
    const auto ifs = rig.mouse->UsbInterfaces();
    auto reading = std::find_if(ifs.begin(), ifs.end(), [&](const UsbInterface& u) {
      return u.name == (plus ? "dev" : "notify");
    });
    ASSERT_NE(reading, ifs.end());
    const HidCollection c = ParseReportDescriptor(reading->descriptor).collections.at(0);

    ASSERT_EQ(rig.Send(Cmd(0x08, 0x00, 10)), HidStatus::Ok);  // a reply
    rig.mouse->PressDpiButton();                              // a notification
    for (int n = 0; n < 2; ++n) {
      Report r{};
      ASSERT_EQ(rig.reader().Read(r, 1000), HidStatus::Ok);
      EXPECT_TRUE(Declares(c, ReportKind::Input, r[0])) << "report id " << int(r[0]);
    }
  }
}

}  // namespace
}  // namespace tolvane::sim::test
