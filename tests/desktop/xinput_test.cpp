// X11: the XInput backend against an Xvfb started by the test. Xvfb's pointer
// is not driven by libinput, so it has no libinput properties: the backend
// must report nothing available there. The test then gives the pointer the
// two properties the libinput driver would create and checks that the
// backend reads and writes them.
#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstring>
#include <string>
#include <vector>

#include "child_server.h"
#include "platform/desktop/xinput_pointer.h"

namespace tolvane::test {
namespace {

using platform::XInputPointerSettings;

// An X server of its own; Display() is empty when it could not start. It
// keeps running when its last client goes (-noreset): a server that resets
// then refuses the next connection for a moment.
class Xvfb {
 public:
  std::string Display() const { return x_.Line().empty() ? "" : ":" + x_.Line(); }

 private:
  ChildServer x_{{"Xvfb", "-displayfd", "{fd}", "-noreset", "-nolisten", "tcp", "-screen", "0",
                  "64x64x24"}};
};

// Gives every slave pointer the libinput driver's speed and profile
// properties; returns how many pointers took them.
int PlantLibinputProperties(::Display* d, float speed) {
  const Atom speedAtom = XInternAtom(d, "libinput Accel Speed", False);
  const Atom profileAtom = XInternAtom(d, "libinput Accel Profile Enabled", False);
  const Atom floatAtom = XInternAtom(d, "FLOAT", False);
  int count = 0, planted = 0;
  XIDeviceInfo* devs = XIQueryDevice(d, XIAllDevices, &count);
  for (int i = 0; i < count; ++i) {
    if (devs[i].use != XISlavePointer) continue;
    const unsigned char profile[3] = {1, 0, 0};
    XIChangeProperty(d, devs[i].deviceid, speedAtom, floatAtom, 32, PropModeReplace,
                     reinterpret_cast<unsigned char*>(&speed), 1);
    XIChangeProperty(d, devs[i].deviceid, profileAtom, XA_INTEGER, 8, PropModeReplace,
                     const_cast<unsigned char*>(profile), 3);
    ++planted;
  }
  XIFreeDeviceInfo(devs);
  XSync(d, False);
  return planted;
}

struct Props {
  float speed = -9;
  std::vector<uint8_t> profile;
};

Props ReadFirstPointer(::Display* d) {
  Props p;
  int count = 0;
  XIDeviceInfo* devs = XIQueryDevice(d, XIAllDevices, &count);
  for (int i = 0; i < count && p.profile.empty(); ++i) {
    if (devs[i].use != XISlavePointer) continue;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    XIGetProperty(d, devs[i].deviceid, XInternAtom(d, "libinput Accel Speed", False), 0, 1,
                  False, AnyPropertyType, &type, &format, &n, &after, &data);
    if (data && n == 1) std::memcpy(&p.speed, data, 4);
    if (data) XFree(data);
    data = nullptr;
    XIGetProperty(d, devs[i].deviceid, XInternAtom(d, "libinput Accel Profile Enabled", False),
                  0, 8, False, AnyPropertyType, &type, &format, &n, &after, &data);
    if (data) p.profile.assign(data, data + n);
    if (data) XFree(data);
  }
  XIFreeDeviceInfo(devs);
  return p;
}

TEST(XInputPointer, XvfbPointerWithoutAndWithLibinputProperties) {
  Xvfb x;
  if (x.Display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  {
    XInputPointerSettings bare(x.Display());
    if (!bare.Capabilities().Empty())
      GTEST_SKIP() << "this Xvfb's pointer already carries libinput properties";
    EXPECT_EQ(bare.Capabilities().read, 0u);
    bare.SetPointerSpeed(20);  // nothing to change; must not fail the X connection
  }
  ::Display* d = XOpenDisplay(x.Display().c_str());
  ASSERT_TRUE(d);
  if (PlantLibinputProperties(d, 0.0f) == 0) {
    XCloseDisplay(d);
    GTEST_SKIP() << "Xvfb has no slave pointer to carry libinput properties: not available";
  }
  XInputPointerSettings p(x.Display());
  const unsigned bits = kPointerSpeed | kPointerPrecision;
  EXPECT_EQ(p.Capabilities(), (PointerCapabilities{bits, bits}));
  EXPECT_EQ(p.Current().nPointerSpeed, 10);
  EXPECT_TRUE(p.Current().bEnhancePrecision);

  p.SetPointerSpeed(15);
  p.SetAcceleration(false);
  const Props got = ReadFirstPointer(d);
  EXPECT_FLOAT_EQ(got.speed, 0.5f);
  EXPECT_EQ(got.profile, (std::vector<uint8_t>{0, 1, 0}));  // the count is kept
  EXPECT_EQ(p.Current().nPointerSpeed, 15);
  EXPECT_FALSE(p.Current().bEnhancePrecision);
  XCloseDisplay(d);
}

TEST(XInputPointer, NoDisplayAllowsNothing) {
  XInputPointerSettings p(":987");
  EXPECT_TRUE(p.Capabilities().Empty());
  EXPECT_EQ(p.Current(), PointerValues{});
}

}  // namespace
}  // namespace tolvane::test
