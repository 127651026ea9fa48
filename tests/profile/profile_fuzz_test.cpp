// Random EEPROM content through GetProfile: no crash, no access outside the
// bytes read (the sanitizer build checks the second), and a record that only
// ever holds what fits it.
#include <gtest/gtest.h>

#include <random>

#include "../macro/temp_library.h"
#include "app/notifier.h"
#include "macro/macro_library.h"
#include "profile_rig.h"

namespace tolvane::test {
namespace {

// A device object that answers reads from an image in memory.
template <class Base>
class MemoryDev : public Base {
 public:
  std::vector<uint8_t> image = std::vector<uint8_t>(0x1B00);
  int ReadEEPROM(uint32_t addr, uint8_t* buf, int len) override {
    if (len < 1 || len > 10 || addr + uint32_t(len) > image.size()) return 0;
    std::memcpy(buf, image.data() + addr, size_t(len));
    return 1;
  }
  int ReadROM(uint32_t addr, uint8_t* buf, int len, const RomStopTest& stop) override {
    for (int off = 0; off < len; off += 10) {
      const int n = std::min(10, len - off);
      if (!ReadEEPROM(addr + uint32_t(off), buf + off, n)) return 0;
      if (stop && stop(buf + off, n)) return 1;
    }
    return 1;
  }
};

void Fill(std::mt19937& rng, std::vector<uint8_t>& img) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : img) b = uint8_t(byte(rng));
  // Bias the image so that reads get past the rate and level checks and into
  // the button and macro decoders often.
  const uint8_t rates[] = {1, 2, 4, 8, 16, 32};
  if (byte(rng) < 200) img[0] = rates[byte(rng) % 6];
  if (byte(rng) < 200) img[2] = uint8_t(byte(rng) % 10);
  if (byte(rng) < 200) img[4] = uint8_t(byte(rng) % 9);
  for (int j = 0; j < 16; ++j) {
    if (byte(rng) < 64) img[0x60 + 4 * j] = 6;
    if (byte(rng) < 64) img[0x60 + 4 * j] = 5;
    if (byte(rng) < 32) img[0x31F + 0x180 * j] = 0xFF;
  }
}

TEST(GetProfileFuzz, RandomImages) {
  NoPacing np;
  g_Catalogue().sensors.Build(false);
  DevCfg model[2] = {ProfileModel(0), ProfileModel(1, 0x3325)};
  for (int b = 6; b < 16; ++b) model[0].keys[0][b] = {0x01000011, uint32_t(b + 1), 0, {}, 0, 0};
  model[1].keys[0][6].nMatrix = 40;  // outside the matrix
  std::mt19937 rng(20240611);
  RecordingNotifier quiet;
  SetNotifier(&quiet);
  int ok = 0;
  auto one = [&](auto& dev, int i) {
    dev.pDevCfg = &model[i % 2];
    Fill(rng, dev.image);
    ProfileFile f;
    f.dwID = 1;
    if (GetProfile(dev, &f, nullptr)) {
      ++ok;
      ASSERT_GE(f.nDpiLevels, 1);
      ASSERT_LE(f.nDpiLevels, 8);
      ASSERT_LT(dev.nCurDpiLevel.load(), f.nDpiLevels);
    }
  };
  for (int i = 0; i < 10000; ++i) {
    if (i % 2) {
      MemoryDev<CDevProPlus> dev;
      one(dev, i);
    } else {
      MemoryDev<CDevPro> dev;
      one(dev, i);
    }
  }
  EXPECT_GT(ok, 1000);  // the decoders were reached, not just the checks
  // A few with a library: the merge of garbage macros.
  TempUserDir dir;
  MacroLibrary lib(dir.Dir(), false);
  lib.Load();
  for (int i = 0; i < 6; ++i) {
    MemoryDev<CDevPro> dev;
    dev.pDevCfg = &model[0];
    Fill(rng, dev.image);
    dev.image[0] = 1;
    dev.image[2] = 4;
    dev.image[4] = 0;
    dev.image[0x60] = 6;
    ProfileFile f;
    f.dwID = 1;
    EXPECT_EQ(GetProfile(dev, &f, &lib), 1);
  }
  EXPECT_GE(lib.Count(), 1u);
  SetNotifier(nullptr);
}

}  // namespace
}  // namespace tolvane::test
