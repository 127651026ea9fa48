// HID report descriptors as the kernel hands them over.
#include <cstdint>

#include "fuzz_support.h"
#include "platform/hid_descriptor.h"

using namespace tolvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tolvane::fuzz::QuietLog();
  HidDescriptor d = ParseReportDescriptor(data, size);
  for (const auto& c : d.collections) {
    c.InputLen();
    c.OutputLen();
    c.FeatureLen();
    c.InputIds();
  }
  return 0;
}
