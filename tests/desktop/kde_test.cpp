// KDE Plasma: KWin's input devices over D-Bus and kdeglobals, against a fake
// KWin on a private session bus.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "../macro/temp_library.h"
#include "platform/desktop/desktop_pointer.h"
#include "platform/desktop/kde_globals.h"
#include "platform/desktop/kwin_pointer.h"
#include "private_bus.h"

namespace tolvane::test {
namespace {

using platform::KdeGlobalsPointerSettings;
using platform::KWinPointerSettings;

constexpr const char* kManagerXml =
    "<node><interface name='org.kde.KWin.InputDeviceManager'>"
    "<property name='devicesSysNames' type='as' access='read'/>"
    "</interface></node>";
constexpr const char* kDeviceXml =
    "<node><interface name='org.kde.KWin.InputDevice'>"
    "<property name='name' type='s' access='read'/>"
    "<property name='pointer' type='b' access='read'/>"
    "<property name='touchpad' type='b' access='read'/>"
    "<property name='pointerAcceleration' type='d' access='readwrite'/>"
    "<property name='pointerAccelerationProfileFlat' type='b' access='readwrite'/>"
    "<property name='scrollFactor' type='d' access='readwrite'/>"
    "</interface></node>";

// One fake input device of KWin.
struct FakeDevice {
  bool pointer = true, touchpad = false;
  double accel = 0, scroll = 1;
  bool flat = false;
};

// KWin's device manager and devices: event3 and event7 are mice, event5 a touchpad.
class FakeKWin {
 public:
  explicit FakeKWin(const std::string& address)
      : service_(address, [this](GDBusConnection* c) { Setup(c); }) {}
  ~FakeKWin() {
    service_.Run([this] {
      for (guint id : ids_) g_dbus_connection_unregister_object(conn_, id);
    });
    g_dbus_node_info_unref(manager_);
    g_dbus_node_info_unref(device_);
  }
  FakeDevice Device(const std::string& name) {
    std::lock_guard<std::mutex> l(mu_);
    return devices_[name];
  }
  bool owned = false;

 private:
  static GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                               const gchar* prop, GError**, gpointer self) {
    auto* k = static_cast<FakeKWin*>(self);
    std::lock_guard<std::mutex> l(k->mu_);
    if (std::string(path) == "/org/kde/KWin/InputDevice") {
      const gchar* names[] = {"event3", "event5", "event7", nullptr};
      return g_variant_new_strv(names, -1);
    }
    FakeDevice& d = k->devices_[std::string(path).substr(std::string(path).rfind('/') + 1)];
    const std::string p = prop;
    if (p == "name") return g_variant_new_string("fake");
    if (p == "pointer") return g_variant_new_boolean(d.pointer);
    if (p == "touchpad") return g_variant_new_boolean(d.touchpad);
    if (p == "pointerAcceleration") return g_variant_new_double(d.accel);
    if (p == "pointerAccelerationProfileFlat") return g_variant_new_boolean(d.flat);
    if (p == "scrollFactor") return g_variant_new_double(d.scroll);
    return nullptr;
  }
  static gboolean SetProperty(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                              const gchar* prop, GVariant* value, GError**, gpointer self) {
    auto* k = static_cast<FakeKWin*>(self);
    std::lock_guard<std::mutex> l(k->mu_);
    FakeDevice& d = k->devices_[std::string(path).substr(std::string(path).rfind('/') + 1)];
    const std::string p = prop;
    if (p == "pointerAcceleration") d.accel = g_variant_get_double(value);
    if (p == "pointerAccelerationProfileFlat") d.flat = g_variant_get_boolean(value);
    if (p == "scrollFactor") d.scroll = g_variant_get_double(value);
    return TRUE;
  }
  void Setup(GDBusConnection* c) {
    conn_ = c;
    devices_["event3"] = {true, false, 0.5, 1.0, true};
    devices_["event5"] = {true, true, 0.0, 1.0, false};
    devices_["event7"] = {true, false, 0.0, 1.0, false};
    manager_ = g_dbus_node_info_new_for_xml(kManagerXml, nullptr);
    device_ = g_dbus_node_info_new_for_xml(kDeviceXml, nullptr);
    static const GDBusInterfaceVTable vt = {nullptr, GetProperty, SetProperty, {}};
    ids_.push_back(g_dbus_connection_register_object(c, "/org/kde/KWin/InputDevice",
                                                     manager_->interfaces[0], &vt, this,
                                                     nullptr, nullptr));
    for (const char* n : {"event3", "event5", "event7"}) {
      ids_.push_back(g_dbus_connection_register_object(
          c, (std::string("/org/kde/KWin/InputDevice/") + n).c_str(), device_->interfaces[0],
          &vt, this, nullptr, nullptr));
    }
    owned = OwnName(c, "org.kde.KWin");
  }

  std::mutex mu_;
  std::map<std::string, FakeDevice> devices_;
  GDBusConnection* conn_ = nullptr;
  GDBusNodeInfo* manager_ = nullptr;
  GDBusNodeInfo* device_ = nullptr;
  std::vector<guint> ids_;
  BusService service_;
};

TEST(KWinPointer, ReadsTheFirstMouseAndWritesEveryMouseButNotTheTouchpad) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up()) << "dbus-daemon did not start";
  FakeKWin kwin(bus.Address());
  ASSERT_TRUE(kwin.owned);

  KWinPointerSettings p(bus.Address());
  const unsigned bits = kPointerSpeed | kPointerPrecision | kPointerScrollLines;
  EXPECT_EQ(p.Capabilities(), (PointerCapabilities{bits, bits}));
  const PointerValues v = p.Current();
  EXPECT_EQ(v.nPointerSpeed, 15);  // accel 0.5
  EXPECT_FALSE(v.bEnhancePrecision);  // flat
  EXPECT_EQ(v.nScrollLines, 3);

  p.SetPointerSpeed(1);
  p.SetAcceleration(true);
  p.SetScrollLines(6);
  for (const char* mouse : {"event3", "event7"}) {
    const FakeDevice d = kwin.Device(mouse);
    EXPECT_DOUBLE_EQ(d.accel, -1.0) << mouse;
    EXPECT_FALSE(d.flat) << mouse;
    EXPECT_DOUBLE_EQ(d.scroll, 2.0) << mouse;
  }
  const FakeDevice pad = kwin.Device("event5");
  EXPECT_DOUBLE_EQ(pad.accel, 0.0);
  EXPECT_DOUBLE_EQ(pad.scroll, 1.0);

  // One page per notch has no factor: the factor stays.
  p.SetScrollLines(-1);
  EXPECT_DOUBLE_EQ(kwin.Device("event3").scroll, 2.0);
  EXPECT_EQ(p.Current().nScrollLines, 6);
}

TEST(KWinPointer, NoKWinOnTheBusAllowsNothing) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up());
  KWinPointerSettings p(bus.Address());
  EXPECT_TRUE(p.Capabilities().Empty());
  p.SetPointerSpeed(20);  // does nothing, does not hang
  EXPECT_EQ(p.Current(), PointerValues{});
}

// Counts notifyChange(3, 0) signals of /KGlobalSettings.
struct NoticeCounter {
  explicit NoticeCounter(const std::string& address)
      : service(address, [this](GDBusConnection* c) {
          g_dbus_connection_signal_subscribe(
              c, nullptr, "org.kde.KGlobalSettings", "notifyChange", "/KGlobalSettings",
              nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
              [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                 GVariant* args, gpointer self) {
                gint32 type = -1, arg = -1;
                g_variant_get(args, "(ii)", &type, &arg);
                if (type == 3 && arg == 0) ++static_cast<NoticeCounter*>(self)->count;
              },
              this, nullptr);
        }) {}
  std::atomic<int> count{0};
  BusService service;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(KdeGlobals, WritesTheKdeGroupKeepsTheRestAndAnnouncesTheChange) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up());
  NoticeCounter notices(bus.Address());
  TempUserDir dir;
  const std::string path = dir.Dir() + "kdeglobals";
  {
    std::ofstream out(path);
    out << "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\nWheelScrollLines=5\n"
           "\n[KDE][Sub]\nDoubleClickInterval=111\n";
  }
  KdeGlobalsPointerSettings p(path, bus.Address());
  const unsigned bits = kPointerDoubleClick | kPointerScrollLines;
  EXPECT_EQ(p.Capabilities(), (PointerCapabilities{bits, bits}));
  EXPECT_EQ(p.Current().nScrollLines, 5);
  EXPECT_EQ(p.Current().nDoubleClickTime, 400);  // KDE's default; the subgroup does not count

  p.SetDoubleClickTime(620);
  p.SetScrollLines(8);
  p.SetScrollLines(-1);  // no page mode in kdeglobals: nothing written
  EXPECT_EQ(ReadText(path),
            "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\nWheelScrollLines=8\n"
            "DoubleClickInterval=620\n\n[KDE][Sub]\nDoubleClickInterval=111\n");
  EXPECT_EQ(p.Current().nDoubleClickTime, 620);
  for (int i = 0; i < 200 && notices.count < 2; ++i) g_usleep(10000);
  EXPECT_EQ(notices.count, 2);
}

TEST(KdeGlobals, ConfigTextEdits) {
  using platform::FindConfigValue;
  using platform::SetConfigValue;
  EXPECT_EQ(SetConfigValue("", "KDE", "A", "1"), "[KDE]\nA=1\n");
  EXPECT_EQ(SetConfigValue("[X]\nB=2", "KDE", "A", "1"), "[X]\nB=2\n\n[KDE]\nA=1\n");
  EXPECT_EQ(SetConfigValue("[KDE]\n", "KDE", "A", "1"), "[KDE]\nA=1\n");
  // Flags after the name and blanks around '=' still name the entry.
  EXPECT_EQ(SetConfigValue("[KDE]\nA[$i] = 7\nAB=3\n", "KDE", "A", "1"), "[KDE]\nA=1\nAB=3\n");
  EXPECT_EQ(FindConfigValue("[KDE]\n#A=9\nA = 4 \n", "KDE", "A"), "4");
  EXPECT_EQ(FindConfigValue("[kde]\nA=4\n", "KDE", "A"), std::nullopt);
}

TEST(KdeDesktop, WaylandRoutesScrollToKWinAndDoubleClickToKdeglobals) {
  PrivateBus bus;
  ASSERT_TRUE(bus.Up());
  FakeKWin kwin(bus.Address());
  TempUserDir dir;
  std::vector<std::unique_ptr<PointerSettings>> parts;
  parts.push_back(std::make_unique<KWinPointerSettings>(bus.Address()));
  parts.push_back(std::make_unique<KdeGlobalsPointerSettings>(dir.Dir() + "kdeglobals", bus.Address()));
  platform::CombinedPointerSettings p(std::move(parts));
  EXPECT_EQ(p.Capabilities().set, kPointerSpeed | kPointerPrecision | kPointerScrollLines |
                                      kPointerDoubleClick);
  p.SetScrollLines(9);
  p.SetDoubleClickTime(900);
  EXPECT_DOUBLE_EQ(kwin.Device("event7").scroll, 3.0);
  EXPECT_EQ(ReadText(dir.Dir() + "kdeglobals"), "[KDE]\nDoubleClickInterval=900\n");
  const PointerValues v = p.Current();
  EXPECT_EQ(v.nScrollLines, 9);
  EXPECT_EQ(v.nDoubleClickTime, 900);
  EXPECT_EQ(v.nPointerSpeed, 15);
}

}  // namespace
}  // namespace tolvane::test
