#include "platform/hid_descriptor.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "fake_sysfs.h"

namespace tolvane::platform {
namespace {

namespace desc = testing::desc;
using desc::Bytes;

struct Lens {
  uint32_t in, out, feat;
  bool operator==(const Lens&) const = default;
};
Lens LensOf(const HidCollection& c) { return {c.InputLen(), c.OutputLen(), c.FeatureLen()}; }
std::ostream& operator<<(std::ostream& o, const Lens& l) {
  return o << "{in " << l.in << ", out " << l.out << ", feature " << l.feat << "}";
}

TEST(HidDescriptor, VendorLayoutsGiveTheLengthsDiscoveryLooksFor) {
  struct Case {
    Bytes bytes;
    uint32_t page, usage;
    Lens lens;
    uint8_t id;
  } cases[] = {
      {desc::ProNotify(), 0xFF01, 0, {17, 0, 0}, 9},
      {desc::ProCommand(), 0xFF02, 2, {0, 0, 17}, 8},
      {desc::ProPlus(), 0xFF02, 2, {17, 17, 0}, 8},
  };
  for (const auto& c : cases) {
    HidDescriptor d = ParseReportDescriptor(c.bytes);
    ASSERT_EQ(d.collections.size(), 1u);
    EXPECT_FALSE(d.malformed);
    EXPECT_TRUE(d.usesReportIds);
    EXPECT_EQ(d.collections[0].usagePage, c.page);
    EXPECT_EQ(d.collections[0].usage, c.usage);
    EXPECT_EQ(LensOf(d.collections[0]), c.lens);
    for (const auto& m : d.collections[0].bits) {
      for (const auto& [id, bits] : m) EXPECT_EQ(id, c.id);
    }
  }
}

TEST(HidDescriptor, OneInterfaceWithSeveralCollections) {
  // Mouse (id 1), consumer keys (id 3), PRO notify (id 9), PRO command (id 8).
  HidDescriptor d = ParseReportDescriptor(
      desc::Cat({desc::BootMouse(1), desc::Consumer(), desc::ProNotify(), desc::ProCommand()}));
  EXPECT_FALSE(d.malformed);
  ASSERT_EQ(d.collections.size(), 4u);
  EXPECT_EQ(d.collections[0].usagePage, 0x01u);
  EXPECT_EQ(d.collections[0].usage, 0x02u);
  EXPECT_EQ(LensOf(d.collections[0]), (Lens{5, 0, 0}));  // 32 bits + id
  EXPECT_EQ(d.collections[0].InputIds(), std::vector<uint8_t>{1});
  EXPECT_EQ(d.collections[1].usagePage, 0x0Cu);
  EXPECT_EQ(LensOf(d.collections[1]), (Lens{3, 0, 0}));
  EXPECT_EQ(d.collections[1].InputIds(), std::vector<uint8_t>{3});
  EXPECT_EQ(LensOf(d.collections[2]), (Lens{17, 0, 0}));
  EXPECT_EQ(d.collections[2].InputIds(), std::vector<uint8_t>{9});
  EXPECT_EQ(LensOf(d.collections[3]), (Lens{0, 0, 17}));
  EXPECT_TRUE(d.collections[3].InputIds().empty());
}

TEST(HidDescriptor, WithoutReportIdsTheLengthStillCountsTheIdByte) {
  HidDescriptor d = ParseReportDescriptor(desc::BootMouse());
  ASSERT_EQ(d.collections.size(), 1u);
  EXPECT_FALSE(d.usesReportIds);
  EXPECT_EQ(LensOf(d.collections[0]), (Lens{5, 0, 0}));
  EXPECT_EQ(d.collections[0].InputIds(), std::vector<uint8_t>{0});
}

TEST(HidDescriptor, LargestReportPerKindAndPaddingCount) {
  Bytes b = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
             0x85, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02,  // id 1: 3 input bytes
             0x75, 0x01, 0x95, 0x05, 0x81, 0x03,              // + 5 constant bits
             0x85, 0x02, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02,  // id 2: 7 input bytes
             0x95, 0x02, 0x91, 0x03,                          // id 2: 2 constant output bytes
             0x85, 0x05, 0x95, 0x3F, 0xB1, 0x02,              // id 5: 63 feature bytes
             0xC0};
  HidDescriptor d = ParseReportDescriptor(b);
  ASSERT_EQ(d.collections.size(), 1u);
  EXPECT_FALSE(d.malformed);
  EXPECT_EQ(d.collections[0].bits[0].at(1), 29u);
  EXPECT_EQ(LensOf(d.collections[0]), (Lens{8, 3, 64}));  // id 1 is 4 bytes, id 2 is 7
  EXPECT_EQ(d.collections[0].InputIds(), (std::vector<uint8_t>{1, 2}));
}

TEST(HidDescriptor, UsagesPagesNestingAndPushPop) {
  Bytes b = {
      0x0B, 0x02, 0x00, 0x02, 0xFF,  // Usage (4 bytes: page 0xFF02, usage 2)
      0xA1, 0x01,                    // Collection: page taken from the usage
      0x85, 0x08, 0x75, 0x08, 0x95, 0x10,
      0xA4,                          // Push
      0x85, 0x07, 0x95, 0x02,        // id 7, count 2
      0x09, 0x05, 0xA1, 0x02,        // nested logical collection: no new top level
      0x81, 0x02,                    // id 7: 16 input bits
      0xC0,
      0xB4,                          // Pop: back to id 8, count 16
      0x81, 0x02,                    // id 8: 128 input bits
      0xC0,
      0x09, 0x01, 0x05, 0x0C,        // Usage before its Usage Page
      0xA1, 0x01, 0x81, 0x02, 0xC0,  // second top level: page 0x0C, still id 8
  };
  HidDescriptor d = ParseReportDescriptor(b);
  EXPECT_FALSE(d.malformed);
  ASSERT_EQ(d.collections.size(), 2u);
  EXPECT_EQ(d.collections[0].usagePage, 0xFF02u);
  EXPECT_EQ(d.collections[0].usage, 2u);
  EXPECT_EQ(d.collections[0].bits[0].at(7), 16u);
  EXPECT_EQ(d.collections[0].bits[0].at(8), 128u);
  EXPECT_EQ(d.collections[1].usagePage, 0x0Cu);
  EXPECT_EQ(d.collections[1].usage, 1u);
  EXPECT_EQ(d.collections[1].bits[0].at(8), 128u);
}

TEST(HidDescriptor, DamageIsSurvivedAndFlagged) {
  // Truncated at every point inside the PRO+ descriptor: never more than the
  // one collection, always flagged, never an invented length.
  Bytes full = desc::ProPlus();
  for (size_t n = 0; n < full.size(); ++n) {
    HidDescriptor d = ParseReportDescriptor(full.data(), n);
    EXPECT_LE(d.collections.size(), 1u) << n;
    if (n >= 6) {  // from the Collection item on, something is cut or left open
      EXPECT_TRUE(d.malformed) << n;
    }
    if (!d.collections.empty()) {
      EXPECT_LE(d.collections[0].InputLen(), 17u) << n;
    }
  }

  struct Case {
    const char* what;
    Bytes bytes;
    size_t collections;
  } cases[] = {
      {"end collection without collection", {0xC0, 0xC0, 0x09, 0x01, 0xA1, 0x01, 0xC0}, 1},
      {"pop on an empty stack", {0xB4, 0xA1, 0x01, 0xC0}, 1},
      {"input outside any collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, 0},
      {"report id 0", {0xA1, 0x01, 0x85, 0x00, 0xC0}, 1},
      {"reserved item type", {0xA1, 0x01, 0x0C, 0xC0}, 1},
      {"truncated long item", {0xA1, 0x01, 0xC0, 0xFE, 0x10, 0x01, 0x00}, 1},
      {"collection left open", {0xA1, 0x01, 0xA1, 0x00, 0xC0}, 1},
  };
  for (const auto& c : cases) {
    HidDescriptor d = ParseReportDescriptor(c.bytes);
    EXPECT_TRUE(d.malformed) << c.what;
    EXPECT_EQ(d.collections.size(), c.collections) << c.what;
  }

  // A push stack far deeper than any device needs is refused, not grown.
  Bytes pushes(1000, 0xA4);
  EXPECT_TRUE(ParseReportDescriptor(pushes).malformed);

  // A well-formed long item is skipped without harm.
  Bytes longItem = desc::Cat({{0xFE, 0x02, 0x10, 0xAA, 0xBB}, desc::ProNotify()});
  HidDescriptor l = ParseReportDescriptor(longItem);
  EXPECT_FALSE(l.malformed);
  ASSERT_EQ(l.collections.size(), 1u);
  EXPECT_EQ(l.collections[0].InputLen(), 17u);
}

TEST(HidDescriptor, AbsurdSizesSaturateInsteadOfWrapping) {
  // Report size and count of 0xFFFFFFFF, repeated: the product and the sum
  // would wrap a 64-bit counter; the length must stay at its maximum.
  Bytes b = {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 10; ++i) b.insert(b.end(), {0x81, 0x02});
  b.insert(b.end(), {0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0xC0});
  HidDescriptor d = ParseReportDescriptor(b);
  ASSERT_EQ(d.collections.size(), 1u);
  EXPECT_EQ(d.collections[0].InputLen(), std::numeric_limits<uint32_t>::max());
  EXPECT_EQ(d.collections[0].FeatureLen(), 2u);
  EXPECT_EQ(ParseReportDescriptor(nullptr, 5).collections.size(), 0u);
}

TEST(HidDescriptor, RandomDescriptorsNeverBreakTheParser) {
  std::mt19937 rng(12345);
  // Half the inputs are made of plausible item prefixes so that the parser
  // gets deep into collections and report ids; half are plain noise.
  const uint8_t prefixes[] = {0x05, 0x06, 0x09, 0x0B, 0x15, 0x26, 0x75, 0x77, 0x85, 0x95, 0x97,
                              0x81, 0x91, 0xB1, 0xA1, 0xC0, 0xA4, 0xB4, 0xFE, 0x19, 0x29};
  size_t collections = 0;
  for (int i = 0; i < 100000; ++i) {
    Bytes b(rng() % 96);
    const bool shaped = i % 2 == 0;
    for (auto& x : b) {
      x = shaped && rng() % 3 == 0 ? prefixes[rng() % sizeof prefixes] : static_cast<uint8_t>(rng());
    }
    HidDescriptor d = ParseReportDescriptor(b);
    collections += d.collections.size();
    for (const auto& c : d.collections) {
      ASSERT_LE(c.usagePage, 0xFFFFu);
      for (int k = 0; k < kReportKinds; ++k) {
        const uint32_t n = c.Length(static_cast<ReportKind>(k));
        ASSERT_EQ(n == 0, c.bits[k].empty());
        if (!d.usesReportIds) {
          ASSERT_LE(c.bits[k].size(), 1u);
        }
      }
    }
  }
  EXPECT_GT(collections, 1000u);  // the shaped half really reached collections
}

}  // namespace
}  // namespace tolvane::platform
