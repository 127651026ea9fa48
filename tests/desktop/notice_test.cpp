// The quiet low-battery notice: a virtual mouse's battery read through its
// device object, the watch, and notifications to a fake notification service
// on a private bus.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>

#include "../macro/temp_library.h"
#include "../profile/profile_rig.h"
#include "program/battery_notice.h"
#include "platform/desktop/desktop_notice.h"
#include "fake_notifications.h"
#include "private_bus.h"

namespace tolvane::test {
namespace {

TEST(LowBatteryNotice, OncePerDischargeAndAgainAfterCharging) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up());
  FakeNotifications service(bus.Address());
  ASSERT_TRUE(service.owned);
  platform::DesktopNotifier notifier(bus.Address());
  LowBatteryWatch watch;
  NoPacing np;
  ProfileRig rig(0);
  const std::string model = rig.model.szName;

  // The chain the window runs on each battery reading.
  auto reading = [&](uint8_t level, bool charging) {
    rig.mouse->SetBattery(level, charging);
    int power = 0, charge = 0;
    ASSERT_EQ(rig.dev->GetPower(power, charge), 1);
    if (watch.Reading(model, power, charge != 0))
      notifier.Notify(model + ": battery low", std::to_string(power) + "% left");
  };
  for (uint8_t level : {20, 16, 15, 14, 10, 12, 9}) reading(level, false);
  EXPECT_EQ(service.Bodies(), (std::vector<std::string>{"Tolvane|" + model + ": battery low|14% left"}));
  reading(40, true);  // charged
  reading(60, false);
  reading(10, false);
  reading(8, false);
  EXPECT_EQ(service.Bodies().size(), 2u);
  EXPECT_EQ(service.Bodies().back(), "Tolvane|" + model + ": battery low|10% left");

  // Charging below the threshold gives no notice; unplugged again, one.
  LowBatteryWatch other;
  EXPECT_FALSE(other.Reading("m", 5, true));
  EXPECT_TRUE(other.Reading("m", 5, false));
  EXPECT_FALSE(other.Reading("m", 255, false));  // no reading
  EXPECT_TRUE(other.Reading("n", 3, false));     // per device
}

TEST(LowBatteryNotice, NoServiceIsAFailureNotAHang) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up());
  platform::DesktopNotifier notifier(bus.Address());
  EXPECT_FALSE(notifier.Notify("a", "b"));
}

TEST(LowBatteryNotice, SettingFileBesideTheGlobalSettings) {
  TempUserDir dir;
  EXPECT_TRUE(LoadNoticeSettings(dir.Dir()).bLowBattery);  // no file: on
  ASSERT_EQ(SaveNoticeSettings(dir.Dir(), {false}), 0);
  EXPECT_FALSE(LoadNoticeSettings(dir.Dir()).bLowBattery);
  std::ifstream in(dir.Dir() + kNoticeSettingsName);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[Notice]\nLowBattery=0\n");
  ASSERT_EQ(SaveNoticeSettings(dir.Dir(), {true}), 0);
  EXPECT_TRUE(LoadNoticeSettings(dir.Dir()).bLowBattery);
}

}  // namespace
}  // namespace tolvane::test
