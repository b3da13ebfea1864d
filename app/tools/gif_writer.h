// A small GIF89a writer for indexed pictures: a global colour table, any number of frames with a
// delay each, an endless loop, LZW-compressed image data. Qt reads GIF but cannot write it, and the
// tutorial picture is drawn by our own generator, so the encoder lives here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::gif {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

// One full-size frame: one palette index per pixel, row by row.
struct Frame {
  std::vector<std::uint8_t> pixels;
  int delayCentiseconds = 10;
};

// Writes an animated GIF89a of `width` by `height` pixels that loops without end. The palette
// holds 2 to 256 colours; every pixel index must be below its size. Returns the file's bytes, or
// an empty string when the input is inconsistent (bad size, palette or pixel index).
std::string EncodeAnimation(int width, int height, const std::vector<Rgb>& palette,
                            const std::vector<Frame>& frames);

// The LZW-compressed image data of one frame (the minimum code size byte, the sub-blocks and the
// block terminator), for palettes of 2^`minCodeSize` colours or fewer.
std::string CompressImageData(const std::vector<std::uint8_t>& pixels, int minCodeSize);

}  // namespace korvane::gif
