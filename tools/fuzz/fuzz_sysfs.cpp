// The sysfs side of hidraw: uevent, report_descriptor and the USB device's
// identity files of two nodes, read through a tree shaped like the kernel's.
#include <cstdint>
#include <filesystem>

#include "fuzz_support.h"
#include "platform/hidraw_sysfs.h"

using namespace tolvane;
using namespace tolvane::platform;
namespace fs = std::filesystem;

namespace {

struct Tree {
  fuzz::Scratch scratch;
  fs::path usb, hid[2];
  Tree() {
    const fs::path root = scratch.Dir();
    fs::create_directories(root / "sys" / "class" / "hidraw");
    fs::create_directories(root / "dev");
    usb = root / "sys" / "devices" / "pci0000:00" / "usb1" / "1-1";
    for (int i = 0; i < 2; ++i) {
      hid[i] = usb / ("1-1:1." + std::to_string(i)) / ("0003:1234:5678.000" + std::to_string(i + 1));
      const std::string node = "hidraw" + std::to_string(i);
      fs::create_directories(hid[i] / "hidraw" / node);
      fs::create_directory_symlink("../..", hid[i] / "hidraw" / node / "device");
      fs::create_directory_symlink(hid[i] / "hidraw" / node, root / "sys" / "class" / "hidraw" / node);
      fuzz::Scratch::Write(root / "dev" / node, "");
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Tree tree;
  fuzz::QuietLog();
  auto parts = fuzz::SplitParts(data, size, 7);
  parts.resize(7);
  fuzz::Scratch::Write(tree.hid[0] / "uevent", parts[0]);
  fuzz::Scratch::Write(tree.hid[0] / "report_descriptor", parts[1]);
  fuzz::Scratch::Write(tree.usb / "idVendor", parts[2]);
  fuzz::Scratch::Write(tree.usb / "idProduct", parts[3]);
  fuzz::Scratch::Write(tree.usb / "bcdDevice", parts[4]);
  fuzz::Scratch::Write(tree.hid[1] / "uevent", parts[5]);
  fuzz::Scratch::Write(tree.hid[1] / "report_descriptor", parts[6]);

  HidrawRoots roots{(tree.scratch.Dir() / "sys").string(), (tree.scratch.Dir() / "dev").string()};
  auto nodes = ScanHidrawNodes(roots);
  auto ifs = InterfacesOf(nodes);
  for (const auto& i : ifs) {
    std::string dev;
    size_t index = 0;
    SplitCollectionPath(i.szPath, &dev, &index);
  }
  uint32_t bus, vid, pid;
  ParseHidId(std::string(parts[0].substr(0, 256)), &bus, &vid, &pid);
  std::string dev;
  size_t index = 0;
  SplitCollectionPath(std::string(parts[2].substr(0, 256)), &dev, &index);
  return 0;
}
