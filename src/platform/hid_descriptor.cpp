#include "platform/hid_descriptor.h"

#include <algorithm>
#include <limits>

namespace tolvane::platform {

namespace {

// Reports longer than this are clamped; no real report comes near it, and it
// keeps every sum far from overflowing.
constexpr uint64_t kMaxBits = uint64_t{1} << 40;
// Depth of the Push/Pop stack (the kernel allows 4; we are generous).
constexpr size_t kMaxPush = 16;

enum ItemType { kMain = 0, kGlobal = 1, kLocal = 2 };

// Main item tags.
constexpr uint8_t kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB,
                  kEndCollection = 0xC;
// Global item tags.
constexpr uint8_t kUsagePage = 0x0, kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9,
                  kPush = 0xA, kPop = 0xB;
// Local item tags.
constexpr uint8_t kUsage = 0x0, kUsageMinimum = 0x1;

struct Globals {
  uint32_t usagePage = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportId = 0;
};

struct Locals {
  bool haveUsage = false;
  bool extended = false;  // a 4-byte usage carries its own page
  uint32_t usage = 0;
  void Clear() { *this = Locals(); }
};

uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return std::min(kMaxBits, a + b); }

}  // namespace

uint32_t HidCollection::Length(ReportKind kind) const {
  const auto& m = bits[static_cast<int>(kind)];
  if (m.empty()) return 0;
  uint64_t best = 0;
  for (const auto& [id, b] : m) best = std::max(best, (b + 7) / 8 + 1);
  return static_cast<uint32_t>(std::min<uint64_t>(best, std::numeric_limits<uint32_t>::max()));
}

std::vector<uint8_t> HidCollection::InputIds() const {
  std::vector<uint8_t> ids;
  for (const auto& [id, b] : bits[static_cast<int>(ReportKind::Input)]) ids.push_back(id);
  return ids;
}

HidDescriptor ParseReportDescriptor(const uint8_t* data, size_t len) {
  HidDescriptor out;
  if (!data) len = 0;
  Globals g;
  std::vector<Globals> stack;
  Locals l;
  uint64_t depth = 0;
  HidCollection* top = nullptr;  // the open top-level collection

  size_t pos = 0;
  while (pos < len) {
    const uint8_t prefix = data[pos];
    if (prefix == 0xFE) {  // long item: size, tag, data; nothing we use
      if (len - pos < 3) {
        out.malformed = true;
        break;
      }
      const size_t size = data[pos + 1];
      if (len - pos - 3 < size) {
        out.malformed = true;
        break;
      }
      pos += 3 + size;
      continue;
    }
    static constexpr size_t kSizes[4] = {0, 1, 2, 4};
    const size_t size = kSizes[prefix & 3];
    const int type = (prefix >> 2) & 3;
    const uint8_t tag = prefix >> 4;
    if (len - pos - 1 < size) {
      out.malformed = true;
      break;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) value |= uint32_t{data[pos + 1 + i]} << (8 * i);
    pos += 1 + size;

    if (type == kMain) {
      switch (tag) {
        case kInput:
        case kOutput:
        case kFeature: {
          if (!top) {
            out.malformed = true;  // a report field outside any collection
            break;
          }
          const int kind = tag == kInput ? 0 : tag == kOutput ? 1 : 2;
          const uint64_t add =
              std::min(kMaxBits, uint64_t{g.reportSize} * uint64_t{g.reportCount});
          uint64_t& b = top->bits[kind][g.reportId];
          b = SaturatingAdd(b, add);
          break;
        }
        case kCollection:
          if (depth == 0) {
            HidCollection c;
            c.usagePage = l.extended ? (l.usage >> 16) : g.usagePage;
            c.usage = l.extended ? (l.usage & 0xFFFF) : l.usage;
            out.collections.push_back(c);
            top = &out.collections.back();
          }
          ++depth;
          break;
        case kEndCollection:
          if (depth == 0) {
            out.malformed = true;
          } else if (--depth == 0) {
            top = nullptr;
          }
          break;
        default:
          out.malformed = true;  // reserved main item
          break;
      }
      l.Clear();
    } else if (type == kGlobal) {
      switch (tag) {
        case kUsagePage: g.usagePage = value & 0xFFFF; break;
        case kReportSize: g.reportSize = value; break;
        case kReportCount: g.reportCount = value; break;
        case kReportId:
          if (value == 0 || value > 0xFF) {
            out.malformed = true;  // report id 0 is reserved; ids are one byte
          } else {
            g.reportId = static_cast<uint8_t>(value);
            out.usesReportIds = true;
          }
          break;
        case kPush:
          if (stack.size() >= kMaxPush) out.malformed = true;
          else stack.push_back(g);
          break;
        case kPop:
          if (stack.empty()) {
            out.malformed = true;
          } else {
            g = stack.back();
            stack.pop_back();
          }
          break;
        default: break;  // logical/physical ranges, units: no effect on lengths
      }
    } else if (type == kLocal) {
      if ((tag == kUsage || tag == kUsageMinimum) && !l.haveUsage) {
        l.haveUsage = true;
        l.usage = value;
        l.extended = size == 4;
      }
    } else {
      out.malformed = true;  // reserved item type
    }
  }
  if (depth != 0) out.malformed = true;  // collections left open at the end
  return out;
}

std::vector<uint8_t> BootMouseDescriptor(uint8_t reportId) {
  std::vector<uint8_t> d = {0x05, 0x01,   // Usage Page (Generic Desktop)
                            0x09, 0x02,   // Usage (Mouse)
                            0xA1, 0x01};  // Collection (Application)
  if (reportId) d.insert(d.end(), {0x85, reportId});  // Report ID
  d.insert(d.end(), {0x09, 0x01,   // Usage (Pointer)
                     0xA1, 0x00,   // Collection (Physical)
                     0x05, 0x09,   // Usage Page (Button)
                     0x19, 0x01,   // Usage Minimum (1)
                     0x29, 0x05,   // Usage Maximum (5)
                     0x15, 0x00,   // Logical Minimum (0)
                     0x25, 0x01,   // Logical Maximum (1)
                     0x95, 0x05,   // Report Count (5)
                     0x75, 0x01,   // Report Size (1)
                     0x81, 0x02,   // Input (Data, Var, Abs)
                     0x95, 0x01,   // Report Count (1)
                     0x75, 0x03,   // Report Size (3)
                     0x81, 0x01,   // Input (Const): padding
                     0x05, 0x01,   // Usage Page (Generic Desktop)
                     0x09, 0x30,   // Usage (X)
                     0x09, 0x31,   // Usage (Y)
                     0x09, 0x38,   // Usage (Wheel)
                     0x15, 0x81,   // Logical Minimum (-127)
                     0x25, 0x7F,   // Logical Maximum (127)
                     0x75, 0x08,   // Report Size (8)
                     0x95, 0x03,   // Report Count (3)
                     0x81, 0x06,   // Input (Data, Var, Rel)
                     0xC0,         // End Collection
                     0xC0});       // End Collection
  return d;
}

}  // namespace tolvane::platform
