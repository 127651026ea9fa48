#include "gif_writer.h"

#include <unordered_map>

namespace tolvane::skin {

namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Put(uint32_t code, int width) {
    acc_ |= code << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      out_.push_back(uint8_t(acc_ & 0xFF));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  void Flush() {
    if (bits_ > 0) out_.push_back(uint8_t(acc_ & 0xFF));
    acc_ = 0;
    bits_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint32_t acc_ = 0;
  int bits_ = 0;
};

void Put16(std::vector<uint8_t>& out, int v) {
  out.push_back(uint8_t(v & 0xFF));
  out.push_back(uint8_t((v >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> LzwCompress(const std::vector<uint8_t>& indices, int minCodeSize) {
  std::vector<uint8_t> out;
  BitWriter bw(out);
  const uint32_t clear = 1u << minCodeSize, eoi = clear + 1;
  constexpr uint32_t kMaxCode = 4095;
  int width = minCodeSize + 1;
  uint32_t next = clear + 2;
  std::unordered_map<uint32_t, uint32_t> dict;
  dict.reserve(8192);

  // The decoder widens its codes once its table reaches the current width;
  // it lags one code behind, so the check follows each emitted code.
  auto emit = [&](uint32_t code) {
    bw.Put(code, width);
    if (next >= (1u << width) && width < 12) ++width;
  };
  auto reset = [&] {
    dict.clear();
    next = clear + 2;
    width = minCodeSize + 1;
  };

  emit(clear);
  if (!indices.empty()) {
    uint32_t prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const uint8_t k = indices[i];
      const uint32_t key = (prefix << 8) | k;
      auto it = dict.find(key);
      if (it != dict.end()) {
        prefix = it->second;
        continue;
      }
      emit(prefix);
      if (next >= kMaxCode) {
        emit(clear);
        reset();
      } else {
        dict.emplace(key, next++);
      }
      prefix = k;
    }
    emit(prefix);
  }
  bw.Put(eoi, width);
  bw.Flush();
  return out;
}

std::vector<uint8_t> EncodeGif(const GifAnimation& gif) {
  const size_t colours = gif.palette.size();
  if (gif.frames.empty() || colours == 0 || colours > 256) return {};
  if (gif.width < 1 || gif.height < 1 || gif.width > 65535 || gif.height > 65535) return {};
  if (gif.transparentIndex >= int(colours)) return {};
  const size_t area = size_t(gif.width) * size_t(gif.height);
  for (const GifFrame& f : gif.frames) {
    if (f.pixels.size() != area) return {};
    for (uint8_t p : f.pixels)
      if (p >= colours) return {};
  }

  int tableBits = 1;  // the table holds 2^tableBits entries
  while ((1u << tableBits) < colours) ++tableBits;
  const int minCodeSize = tableBits < 2 ? 2 : tableBits;

  std::vector<uint8_t> out;
  const char* sig = "GIF89a";
  out.insert(out.end(), sig, sig + 6);
  Put16(out, gif.width);
  Put16(out, gif.height);
  out.push_back(uint8_t(0x80 | (7 << 4) | (tableBits - 1)));  // global table, 8-bit colour
  out.push_back(0);                                           // background index
  out.push_back(0);                                           // no aspect ratio
  for (size_t i = 0; i < (1u << tableBits); ++i) {
    const uint32_t c = i < colours ? gif.palette[i] : 0;
    out.push_back(uint8_t(c >> 16));
    out.push_back(uint8_t(c >> 8));
    out.push_back(uint8_t(c));
  }

  if (gif.loopCount >= 0) {
    const char* app = "NETSCAPE2.0";
    out.push_back(0x21);
    out.push_back(0xFF);
    out.push_back(11);
    out.insert(out.end(), app, app + 11);
    out.push_back(3);
    out.push_back(1);
    Put16(out, gif.loopCount > 65535 ? 65535 : gif.loopCount);
    out.push_back(0);
  }

  for (const GifFrame& f : gif.frames) {
    // Graphic control: restore to background after each frame, so that the
    // transparent pixels of a frame never show the frame before it.
    out.push_back(0x21);
    out.push_back(0xF9);
    out.push_back(4);
    out.push_back(uint8_t((2 << 2) | (gif.transparentIndex >= 0 ? 1 : 0)));
    Put16(out, f.delayCs < 0 ? 0 : (f.delayCs > 65535 ? 65535 : f.delayCs));
    out.push_back(uint8_t(gif.transparentIndex >= 0 ? gif.transparentIndex : 0));
    out.push_back(0);

    out.push_back(0x2C);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, gif.width);
    Put16(out, gif.height);
    out.push_back(0);  // no local table, not interlaced

    out.push_back(uint8_t(minCodeSize));
    const std::vector<uint8_t> data = LzwCompress(f.pixels, minCodeSize);
    for (size_t pos = 0; pos < data.size(); pos += 255) {
      const size_t n = data.size() - pos < 255 ? data.size() - pos : 255;
      out.push_back(uint8_t(n));
      out.insert(out.end(), data.begin() + long(pos), data.begin() + long(pos + n));
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

}  // namespace tolvane::skin
