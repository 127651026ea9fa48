#include "sim/sim_descriptor.h"

#include "platform/hid_descriptor.h"
#include "sim/sim_mouse.h"

namespace tolvane::sim {

namespace {

constexpr uint8_t kInput = 0x81;
constexpr uint8_t kOutput = 0x91;
constexpr uint8_t kFeature = 0xB1;
constexpr uint8_t kDataVarAbs = 0x02;

// One vendor report: 16 bytes of 0..255 under `id`, of the kind `main`.
void AddVendorReport(Descriptor& d, uint8_t usage, uint8_t id, uint8_t main) {
  d.insert(d.end(), {0x85, id,              // Report ID
                     0x15, 0x00,            // Logical Minimum (0)
                     0x26, 0xFF, 0x00,      // Logical Maximum (255)
                     0x75, 0x08,            // Report Size (8)
                     0x95, 0x10,            // Report Count (16)
                     0x09, usage,           // Usage
                     main, kDataVarAbs});   // Input / Output / Feature
}

Descriptor VendorCollection(uint8_t pageLow, uint8_t usage) {
  return {0x06, pageLow, 0xFF,  // Usage Page (vendor 0xFFxx)
          0x09, usage,          // Usage
          0xA1, 0x01};          // Collection (Application)
}

}  // namespace

Descriptor PointerDescriptor() { return platform::BootMouseDescriptor(); }

Descriptor ProNotifyDescriptor() {
  Descriptor d = VendorCollection(0x01, 0x00);
  AddVendorReport(d, 0x00, kInputReportId, kInput);
  d.push_back(0xC0);
  return d;
}

Descriptor ProCommandDescriptor() {
  Descriptor d = VendorCollection(0x02, 0x02);
  AddVendorReport(d, 0x02, kCommandReportId, kFeature);
  d.push_back(0xC0);
  return d;
}

Descriptor ProPlusDescriptor() {
  Descriptor d = VendorCollection(0x02, 0x02);
  AddVendorReport(d, 0x02, kInputReportId, kInput);
  AddVendorReport(d, 0x02, kCommandReportId, kOutput);
  d.push_back(0xC0);
  return d;
}

std::vector<UsbInterface> UsbInterfacesOf(Family family, bool pointer) {
  std::vector<UsbInterface> out;
  if (pointer) out.push_back({"mouse", PointerDescriptor()});
  if (family == Family::Pro) {
    out.push_back({"notify", ProNotifyDescriptor()});
    out.push_back({"cmd", ProCommandDescriptor()});
  } else {
    out.push_back({"dev", ProPlusDescriptor()});
  }
  return out;
}

}  // namespace tolvane::sim
