#include "platform/desktop/xinput_pointer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstring>

#include "app/log.h"
#include "platform/desktop/pointer_mapping.h"

namespace tolvane::platform {

namespace {

// Xlib's default error handler ends the process; a device that goes away
// between listing and changing it must not. Errors are caught around every
// exchange (XSync) by a handler of ours, installed for that time only.
std::mutex g_errorMu;
int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
  ++g_errors;
  return 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* d) : lock_(g_errorMu), dpy_(d) {
    XSync(dpy_, False);
    g_errors = 0;
    old_ = XSetErrorHandler(CountError);
  }
  // Whether no request failed since the trap was set.
  bool Ok() {
    XSync(dpy_, False);
    return g_errors == 0;
  }
  ~ErrorTrap() {
    XSync(dpy_, False);
    XSetErrorHandler(old_);
  }

 private:
  std::lock_guard<std::mutex> lock_;
  Display* dpy_;
  int (*old_)(Display*, XErrorEvent*) = nullptr;
};

}  // namespace

XInputPointerSettings::XInputPointerSettings(const std::string& display) {
  dpy_ = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (!dpy_) {
    LogPrint("XInputPointer: cannot open display %s", display.c_str());
    return;
  }
  int opcode = 0, event = 0, error = 0, major = 2, minor = 0;
  if (!XQueryExtension(dpy_, "XInputExtension", &opcode, &event, &error) ||
      XIQueryVersion(dpy_, &major, &minor) != Success) {
    LogPrint("XInputPointer: no XInput 2");
    return;
  }
  speedAtom_ = XInternAtom(dpy_, "libinput Accel Speed", False);
  profileAtom_ = XInternAtom(dpy_, "libinput Accel Profile Enabled", False);
  tappingAtom_ = XInternAtom(dpy_, "libinput Tapping Enabled", False);
  floatAtom_ = XInternAtom(dpy_, "FLOAT", False);
  std::lock_guard<std::mutex> l(mu_);
  const std::vector<int> mice = Mice();
  if (mice.empty()) {
    LogPrint("XInputPointer: no pointer with libinput properties");
    return;
  }
  unsigned bits = kPointerSpeed;
  std::vector<uint8_t> profile;
  if (ReadBytes(mice[0], profileAtom_, &profile) && profile.size() >= 2) bits |= kPointerPrecision;
  caps_ = {bits, bits};
}

XInputPointerSettings::~XInputPointerSettings() {
  if (dpy_) XCloseDisplay(dpy_);
}

bool XInputPointerSettings::ReadProperty(int device, unsigned long atom, long units,
                                         unsigned long type, int format,
                                         std::vector<uint8_t>* out) const {
  Atom gotType = None;
  int gotFormat = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ErrorTrap trap(dpy_);
  const int rc = XIGetProperty(dpy_, device, atom, 0, units, False, type, &gotType, &gotFormat,
                               &items, &after, &data);
  const bool ok = trap.Ok() && rc == Success && gotType == type && gotFormat == format;
  if (ok) out->assign(data, data + items * unsigned(format / 8));
  if (data) XFree(data);
  return ok;
}

bool XInputPointerSettings::ReadFloat(int device, unsigned long atom, float* out) const {
  std::vector<uint8_t> bytes;
  if (!ReadProperty(device, atom, 1, floatAtom_, 32, &bytes) || bytes.size() != sizeof(float))
    return false;
  std::memcpy(out, bytes.data(), sizeof(float));
  return true;
}

bool XInputPointerSettings::ReadBytes(int device, unsigned long atom,
                                      std::vector<uint8_t>* out) const {
  return ReadProperty(device, atom, 16, XA_INTEGER, 8, out);
}

std::vector<int> XInputPointerSettings::Mice() const {
  std::vector<int> mice;
  int count = 0;
  XIDeviceInfo* devices = nullptr;
  {
    ErrorTrap trap(dpy_);
    devices = XIQueryDevice(dpy_, XIAllDevices, &count);
    if (!trap.Ok() && devices) {
      XIFreeDeviceInfo(devices);
      return mice;
    }
  }
  for (int i = 0; devices && i < count; ++i) {
    const XIDeviceInfo& d = devices[i];
    if (d.use != XISlavePointer || !d.enabled) continue;
    float speed = 0;
    std::vector<uint8_t> tapping;
    if (!ReadFloat(d.deviceid, speedAtom_, &speed)) continue;
    if (ReadBytes(d.deviceid, tappingAtom_, &tapping)) continue;  // a touchpad
    mice.push_back(d.deviceid);
  }
  if (devices) XIFreeDeviceInfo(devices);
  return mice;
}

PointerValues XInputPointerSettings::Current() const {
  PointerValues v;
  if (caps_.read == 0) return v;
  std::lock_guard<std::mutex> l(mu_);
  const std::vector<int> mice = Mice();
  if (mice.empty()) return v;
  float speed = 0;
  if (ReadFloat(mice[0], speedAtom_, &speed)) v.nPointerSpeed = AccelToSpeed(speed);
  std::vector<uint8_t> bits;
  if (ReadBytes(mice[0], profileAtom_, &bits))
    if (auto p = LibinputBitsToPrecision(bits)) v.bEnhancePrecision = *p;
  return v;
}

void XInputPointerSettings::SetPointerSpeed(int speed) {
  if (!caps_.CanSet(kPointerSpeed)) return;
  std::lock_guard<std::mutex> l(mu_);
  // XInput 2 takes format-32 items as 32 bits each (not as longs).
  float value = float(SpeedToAccel(speed));
  for (int id : Mice()) {
    ErrorTrap trap(dpy_);
    XIChangeProperty(dpy_, id, speedAtom_, floatAtom_, 32, PropModeReplace,
                     reinterpret_cast<unsigned char*>(&value), 1);
    if (!trap.Ok()) LogPrint("XInputPointer: speed on device %d failed", id);
  }
}

void XInputPointerSettings::SetAcceleration(bool enhance) {
  if (!caps_.CanSet(kPointerPrecision)) return;
  std::lock_guard<std::mutex> l(mu_);
  for (int id : Mice()) {
    std::vector<uint8_t> now;
    if (!ReadBytes(id, profileAtom_, &now)) continue;
    auto bits = PrecisionToLibinputBits(enhance, now.size());
    if (!bits) continue;
    ErrorTrap trap(dpy_);
    XIChangeProperty(dpy_, id, profileAtom_, XA_INTEGER, 8, PropModeReplace, bits->data(),
                     int(bits->size()));
    if (!trap.Ok()) LogPrint("XInputPointer: profile on device %d failed", id);
  }
}

}  // namespace tolvane::platform
