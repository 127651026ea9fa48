// HID report descriptors: the top-level collections of an interface and the
// lengths of their reports.
//
// The parser takes any byte string. Damaged descriptors (truncated items,
// unbalanced collections, a push/pop stack used wrongly, absurd report sizes)
// never make it fail: what can be read is returned and `malformed` is set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace tolvane::platform {

enum class ReportKind { Input = 0, Output = 1, Feature = 2 };
constexpr int kReportKinds = 3;

// One top-level collection.
struct HidCollection {
  uint32_t usagePage = 0;
  uint32_t usage = 0;
  // Per report kind: report id (0 when the descriptor uses none) -> length of
  // that report in bits, padding and constant fields included. An id is
  // present once a main item of that kind was declared for it, even with 0 bits.
  std::map<uint8_t, uint64_t> bits[kReportKinds];

  // Byte length as Windows reports it: the largest report of that kind plus
  // the report-id byte (also without report ids); 0 when there is none.
  uint32_t Length(ReportKind kind) const;
  uint32_t InputLen() const { return Length(ReportKind::Input); }
  uint32_t OutputLen() const { return Length(ReportKind::Output); }
  uint32_t FeatureLen() const { return Length(ReportKind::Feature); }

  // Report ids of this collection's input reports.
  std::vector<uint8_t> InputIds() const;
};

struct HidDescriptor {
  std::vector<HidCollection> collections;
  bool usesReportIds = false;  // a Report ID item occurred
  bool malformed = false;      // something had to be skipped or repaired
};

HidDescriptor ParseReportDescriptor(const uint8_t* data, size_t len);
inline HidDescriptor ParseReportDescriptor(const std::vector<uint8_t>& d) {
  return ParseReportDescriptor(d.data(), d.size());
}

// The report descriptor of a boot-protocol mouse interface: 5 buttons, 3
// padding bits, X, Y and wheel of 8 bits each; with `reportId` != 0 the
// fields follow that report id.
std::vector<uint8_t> BootMouseDescriptor(uint8_t reportId = 0);

}  // namespace tolvane::platform
