#include "gif_writer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

#include <cstdint>

namespace tolvane::skin {
namespace {

QByteArray Bytes(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Deterministic noise, so the code table fills and restarts.
std::vector<uint8_t> Noise(size_t n, uint32_t seed, int colours) {
  std::vector<uint8_t> v(n);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = uint8_t((seed >> 16) % uint32_t(colours));
  }
  return v;
}

struct Decoded {
  std::vector<QImage> frames;
  std::vector<int> delaysMs;
  int loopCount = 0;
};

Decoded Decode(const QByteArray& bytes) {
  Decoded d;
  QBuffer buf;
  buf.setData(bytes);
  buf.open(QIODevice::ReadOnly);
  QImageReader r(&buf, "gif");
  d.loopCount = r.loopCount();
  for (;;) {
    QImage img = r.read();
    if (img.isNull()) break;
    d.frames.push_back(img.convertToFormat(QImage::Format_ARGB32));
    d.delaysMs.push_back(r.nextImageDelay());  // after a read: that frame's delay
  }
  return d;
}

void ExpectPixels(const QImage& img, const GifAnimation& gif, const GifFrame& f) {
  ASSERT_EQ(img.width(), gif.width);
  ASSERT_EQ(img.height(), gif.height);
  int wrong = 0;
  for (int y = 0; y < gif.height; ++y)
    for (int x = 0; x < gif.width; ++x) {
      const uint8_t i = f.pixels[size_t(y * gif.width + x)];
      const QRgb got = img.pixel(x, y);
      if (int(i) == gif.transparentIndex) {
        wrong += qAlpha(got) != 0;
      } else {
        const uint32_t want = gif.palette[i];
        wrong += qAlpha(got) != 255 || (got & 0xFFFFFF) != want;
      }
    }
  EXPECT_EQ(wrong, 0);
}

TEST(GifWriter, FramesDelaysLoopAndPixelsSurviveQtsReader) {
  GifAnimation gif;
  gif.width = 37;  // odd sizes: no row alignment to lean on
  gif.height = 23;
  gif.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
  gif.transparentIndex = 4;
  gif.loopCount = 3;
  gif.frames.push_back({Noise(37 * 23, 1, 5), 7});
  gif.frames.push_back({std::vector<uint8_t>(37 * 23, 2), 20});  // one long run
  gif.frames.push_back({Noise(37 * 23, 2, 4), 0});
  const Decoded d = Decode(Bytes(EncodeGif(gif)));
  ASSERT_EQ(d.frames.size(), 3u);
  EXPECT_EQ(d.loopCount, 3);
  EXPECT_EQ(d.delaysMs[0], 70);
  EXPECT_EQ(d.delaysMs[1], 200);
  for (size_t i = 0; i < 3; ++i) ExpectPixels(d.frames[i], gif, gif.frames[i]);
}

TEST(GifWriter, FullCodeTableRestartsAndWidthsGrowCorrectly) {
  // 256 colours of noise over 300 x 200 pixels fill the 4096-entry table
  // many times over; every width change and restart must match the decoder.
  GifAnimation gif;
  gif.width = 300;
  gif.height = 200;
  for (uint32_t i = 0; i < 256; ++i) gif.palette.push_back(i * 0x010203u & 0xFFFFFF);
  gif.frames.push_back({Noise(300 * 200, 7, 256), 5});
  // Few colours and long repeats: long strings, late widening.
  std::vector<uint8_t> stripes(300 * 200);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = uint8_t((i / 7) % 3);
  gif.frames.push_back({stripes, 5});
  const Decoded d = Decode(Bytes(EncodeGif(gif)));
  ASSERT_EQ(d.frames.size(), 2u);
  for (size_t i = 0; i < 2; ++i) ExpectPixels(d.frames[i], gif, gif.frames[i]);
}

TEST(GifWriter, SmallestPaletteAndLoopForms) {
  GifAnimation gif;
  gif.width = gif.height = 1;
  gif.palette = {0xABCDEF};
  gif.loopCount = 0;  // forever: Qt's reader reports -1
  gif.frames.push_back({{0}, 10});
  Decoded d = Decode(Bytes(EncodeGif(gif)));
  ASSERT_EQ(d.frames.size(), 1u);
  EXPECT_EQ(d.frames[0].pixel(0, 0) & 0xFFFFFF, 0xABCDEFu);
  EXPECT_EQ(d.loopCount, -1);
  gif.loopCount = -1;  // no loop extension: plays once
  d = Decode(Bytes(EncodeGif(gif)));
  EXPECT_EQ(d.loopCount, 0);
}

TEST(GifWriter, RefusesInconsistentAnimations) {
  GifAnimation gif;
  gif.width = gif.height = 2;
  gif.palette = {0, 0xFFFFFF};
  EXPECT_TRUE(EncodeGif(gif).empty());  // no frames
  gif.frames.push_back({{0, 1, 1}, 1});
  EXPECT_TRUE(EncodeGif(gif).empty());  // frame too small
  gif.frames[0].pixels = {0, 1, 2, 0};
  EXPECT_TRUE(EncodeGif(gif).empty());  // index outside the palette
  gif.frames[0].pixels = {0, 1, 1, 0};
  gif.transparentIndex = 2;
  EXPECT_TRUE(EncodeGif(gif).empty());  // transparent colour outside it
  gif.transparentIndex = -1;
  EXPECT_FALSE(EncodeGif(gif).empty());
  gif.palette.assign(257, 0);
  EXPECT_TRUE(EncodeGif(gif).empty());
}

}  // namespace
}  // namespace tolvane::skin
