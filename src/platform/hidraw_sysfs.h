// hidraw nodes as sysfs describes them.
//
// /sys/class/hidraw/hidrawN/device is the HID device: its uevent holds
// HID_ID=bus:vendor:product, its report_descriptor the raw descriptor, and the
// USB device further up the tree has bcdDevice. One node is one USB interface
// and may hold several top-level collections; each collection becomes its own
// interface record with the path "<dev>/hidrawN#<collection index>".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/transport.h"
#include "platform/hid_descriptor.h"

namespace tolvane::platform {

// Where sysfs and the device nodes live; tests point them at a fake tree.
struct HidrawRoots {
  std::string sysRoot = "/sys";
  std::string devRoot = "/dev";
};

constexpr uint32_t kBusUsb = 0x03;

struct HidrawNodeInfo {
  std::string name;     // "hidraw3"
  std::string devPath;  // "/dev/hidraw3"
  uint32_t bus = 0;
  uint32_t vid = 0;
  uint32_t pid = 0;
  uint32_t version = 0;  // bcdDevice of the USB device, 0 when unknown
  HidDescriptor desc;
};

// Reads one node's description. False when its uevent has no usable HID_ID or
// its report descriptor cannot be read.
bool ReadHidrawNode(const HidrawRoots& roots, const std::string& name, HidrawNodeInfo* out);

// Every readable node, in node-number order.
std::vector<HidrawNodeInfo> ScanHidrawNodes(const HidrawRoots& roots);

// One record per top-level collection of every node.
std::vector<HidIfInfo> InterfacesOf(const std::vector<HidrawNodeInfo>& nodes);

// "<devPath>#<index>" and back. A path without "#" names collection 0.
std::string CollectionPath(const std::string& devPath, size_t index);
bool SplitCollectionPath(const std::string& path, std::string* devPath, size_t* index);

// Parses "0003:00003151:00004010" (hex fields). False when malformed.
bool ParseHidId(const std::string& text, uint32_t* bus, uint32_t* vid, uint32_t* pid);

}  // namespace tolvane::platform
