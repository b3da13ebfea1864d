// PNG encoding of a rendered picture, fast: the local renderer spends most of an icon's time in
// the encoder when zlib runs at its default level. bench_png_encoders measured cairo's writer,
// libpng and libspng at level 1 and libdeflate at several levels and filters on the bundled
// icons: libdeflate at level 4 without a row filter was the fastest (5.6 times cairo's writer)
// and gave the smallest files, smaller than cairo's own. The pixels are the ones cairo's writer
// stores: premultiplied colour is divided out the same way.
#pragma once

#include <cstdint>
#include <string>

namespace korvane::platform {

// The row filter applied before compression (PNG filter types 0, 1 and 2).
enum class PngFilter { kNone = 0, kSub = 1, kUp = 2 };

struct PngOptions {
  int level = 4;  // libdeflate's compression level, 0 (stored) to 12
  PngFilter filter = PngFilter::kNone;
};

// Encodes `height` rows of `width` pixels in cairo's ARGB32 layout (premultiplied alpha, one
// native-endian 32-bit word per pixel, rows `stride` bytes apart) as an 8-bit RGBA PNG. Returns
// the file's bytes, or an empty text for a size of 0 or one that PNG cannot hold.
std::string EncodePremultipliedArgbPng(const unsigned char* pixels, int width, int height,
                                       int stride, PngOptions options = {});

// One ARGB32 row turned into straight-alpha RGBA bytes, rounding as cairo's PNG writer does
// (a fully transparent pixel becomes 0,0,0,0). `out` holds 4 * width bytes.
void UnpremultiplyRow(const unsigned char* row, int width, unsigned char* out);

}  // namespace korvane::platform
