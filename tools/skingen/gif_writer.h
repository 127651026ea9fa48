// A small GIF89a encoder: indexed frames, one global colour table, LZW image
// data, optional transparent colour and the NETSCAPE2.0 loop extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::skin {

struct GifFrame {
  std::vector<uint8_t> pixels;  // width * height palette indices, row by row
  int delayCs = 10;             // frame delay in hundredths of a second
};

struct GifAnimation {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, 1 to 256 entries
  int transparentIndex = -1;      // -1: no transparent colour
  int loopCount = 0;              // 0 repeats forever; -1 writes no loop extension
  std::vector<GifFrame> frames;
};

// The GIF file bytes, or an empty vector when the animation is inconsistent
// (no frames, a frame of the wrong size, an index outside the palette, a
// palette of 0 or more than 256 colours, a size outside 1..65535).
std::vector<uint8_t> EncodeGif(const GifAnimation& gif);

// LZW-compresses indices with the given minimum code size (2..8) into the
// GIF code stream (without the sub-block framing).
std::vector<uint8_t> LzwCompress(const std::vector<uint8_t>& indices, int minCodeSize);

}  // namespace tolvane::skin
