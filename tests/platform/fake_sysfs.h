// A fake sysfs tree and /dev folder in a temporary directory, shaped like the
// kernel's: class/hidraw/hidrawN links to the hidraw folder below the HID
// device, whose "device" link goes back up to the HID device.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/hid_descriptor.h"
#include "platform/hidraw_sysfs.h"
#include "support/temp_folder.h"

namespace tolvane::platform::testing {

namespace fs = std::filesystem;

// Report descriptors of the kind these mice carry, composed item by item.
namespace desc {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Boot-protocol mouse: 5 buttons, 3 padding bits, X, Y and wheel of 8 bits.
// With reportId != 0 the fields are preceded by that report id.
inline Bytes BootMouse(uint8_t reportId = 0) { return BootMouseDescriptor(reportId); }

// Consumer control with a 16-bit usage array, report id 3.
inline Bytes Consumer() {
  return {0x05, 0x0C,        // Usage Page (Consumer)
          0x09, 0x01,        // Usage (Consumer Control)
          0xA1, 0x01,        // Collection (Application)
          0x85, 0x03,        // Report ID (3)
          0x15, 0x00,        // Logical Minimum (0)
          0x26, 0xFF, 0x02,  // Logical Maximum (0x2FF)
          0x19, 0x00,        // Usage Minimum (0)
          0x2A, 0xFF, 0x02,  // Usage Maximum (0x2FF)
          0x75, 0x10,        // Report Size (16)
          0x95, 0x01,        // Report Count (1)
          0x81, 0x00,        // Input (Data, Array)
          0xC0};
}

// A vendor collection on usage page 0xFF00 | pageLow with 16 data bytes per
// report under `id`, one report of each kind whose main-item byte is listed
// (0x81 input, 0x91 output, 0xB1 feature).
inline Bytes Vendor(uint8_t pageLow, uint8_t usage, uint8_t id, std::initializer_list<uint8_t> mains) {
  Bytes d = {0x06, pageLow, 0xFF,  // Usage Page (vendor)
             0x09, usage,          // Usage
             0xA1, 0x01,           // Collection (Application)
             0x85, id,             // Report ID
             0x15, 0x00,           // Logical Minimum (0)
             0x26, 0xFF, 0x00,     // Logical Maximum (255)
             0x75, 0x08,           // Report Size (8)
             0x95, 0x10};          // Report Count (16)
  for (uint8_t m : mains) d.insert(d.end(), {0x09, usage, m, 0x02});  // Usage, main (Data, Var, Abs)
  d.push_back(0xC0);
  return d;
}

inline Bytes ProNotify() { return Vendor(0x01, 0x00, 9, {0x81}); }
inline Bytes ProCommand() { return Vendor(0x02, 0x02, 8, {0xB1}); }
inline Bytes ProPlus() { return Vendor(0x02, 0x02, 8, {0x81, 0x91}); }

}  // namespace desc

class FakeSysfs {
 public:
  FakeSysfs() {
    fs::create_directories(root_ / "sys" / "class" / "hidraw");
    fs::create_directories(root_ / "dev");
  }

  HidrawRoots Roots() const { return {(root_ / "sys").string(), (root_ / "dev").string()}; }
  fs::path Dev(const std::string& node) const { return root_ / "dev" / node; }

  // A USB device folder with its attributes; returns the folder.
  fs::path AddUsbDevice(const std::string& port, uint16_t vid, uint16_t pid, uint16_t bcd) {
    fs::path dir = root_ / "sys" / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / port;
    fs::create_directories(dir);
    Write(dir / "idVendor", Hex4(vid) + "\n");
    Write(dir / "idProduct", Hex4(pid) + "\n");
    Write(dir / "bcdDevice", Hex4(bcd) + "\n");
    return dir;
  }

  // A hidraw node below `parent` (a USB interface folder is created in
  // between for bus 3). `uevent` empty means a standard one.
  fs::path AddNode(const std::string& node, const fs::path& parent, uint32_t bus, uint32_t vid, uint32_t pid,
                   const std::vector<uint8_t>& descriptor, std::string uevent = {}) {
    static int seq = 0;
    char hidName[64];
    std::snprintf(hidName, sizeof hidName, "%04X:%04X:%04X.%04X", bus, vid, pid, ++seq);
    fs::path hid = parent / (parent.filename().string() + ":1." + std::to_string(seq)) / hidName;
    fs::create_directories(hid / "hidraw" / node);
    if (uevent.empty()) {
      char id[64];
      std::snprintf(id, sizeof id, "HID_ID=%04X:%08X:%08X", bus, vid, pid);
      uevent = "DRIVER=hid-generic\n" + std::string(id) + "\nHID_NAME=Test Mouse\nMODALIAS=hid:x\n";
    }
    Write(hid / "uevent", uevent);
    Write(hid / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
    fs::create_directory_symlink("../..", hid / "hidraw" / node / "device");
    fs::create_directory_symlink(hid / "hidraw" / node, root_ / "sys" / "class" / "hidraw" / node);
    return hid;
  }

  static void Write(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
  }

 private:
  static std::string Hex4(uint16_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04x", v);
    return b;
  }
  test::TempFolder folder_{"sysfs"};
  fs::path root_{folder_.Root()};
};

}  // namespace tolvane::platform::testing
