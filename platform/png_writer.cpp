#include "platform/png_writer.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <vector>

namespace korvane::platform {
namespace {

constexpr int kMaxSide = 1 << 16;

void PutBigEndian(std::string& out, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

// Appends one chunk: length, type, data and the CRC over type and data.
void PutChunk(std::string& out, const char type[4], const unsigned char* data, size_t size) {
  PutBigEndian(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.append(type, 4);
  if (size > 0)
    out.append(reinterpret_cast<const char*>(data), size);
  const uint32_t crc =
      libdeflate_crc32(0, reinterpret_cast<const unsigned char*>(out.data()) + typeAt, size + 4);
  PutBigEndian(out, crc);
}

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Making a compressor costs more than compressing an icon, so each thread keeps one per level
// for as long as it lives; a compressor is not safe to share between threads.
libdeflate_compressor* Compressor(int level) {
  thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressors[13];
  if (!compressors[level])
    compressors[level].reset(libdeflate_alloc_compressor(level));
  return compressors[level].get();
}

}  // namespace

void UnpremultiplyRow(const unsigned char* row, int width, unsigned char* out) {
  for (int x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, row + 4 * static_cast<size_t>(x), 4);
    const uint32_t alpha = pixel >> 24;
    unsigned char* o = out + 4 * static_cast<size_t>(x);
    if (alpha == 0) {
      o[0] = o[1] = o[2] = o[3] = 0;
    } else if (alpha == 255) {
      o[0] = static_cast<unsigned char>(pixel >> 16);
      o[1] = static_cast<unsigned char>(pixel >> 8);
      o[2] = static_cast<unsigned char>(pixel);
      o[3] = 255;
    } else {
      o[0] = static_cast<unsigned char>((((pixel >> 16) & 0xff) * 255 + alpha / 2) / alpha);
      o[1] = static_cast<unsigned char>((((pixel >> 8) & 0xff) * 255 + alpha / 2) / alpha);
      o[2] = static_cast<unsigned char>(((pixel & 0xff) * 255 + alpha / 2) / alpha);
      o[3] = static_cast<unsigned char>(alpha);
    }
  }
}

std::string EncodePremultipliedArgbPng(const unsigned char* pixels, int width, int height,
                                       int stride, PngOptions options) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || stride < 4 * width)
    return {};
  const size_t rowBytes = 4 * static_cast<size_t>(width);
  const size_t filteredRow = rowBytes + 1;
  std::vector<unsigned char> raw(filteredRow * static_cast<size_t>(height));
  std::vector<unsigned char> previous(rowBytes, 0), current(rowBytes);
  for (int y = 0; y < height; ++y) {
    UnpremultiplyRow(pixels + static_cast<size_t>(y) * static_cast<size_t>(stride), width,
                     current.data());
    unsigned char* out = raw.data() + static_cast<size_t>(y) * filteredRow;
    out[0] = static_cast<unsigned char>(options.filter);
    switch (options.filter) {
      case PngFilter::kNone:
        std::memcpy(out + 1, current.data(), rowBytes);
        break;
      case PngFilter::kSub:
        for (size_t i = 0; i < rowBytes; ++i)
          out[1 + i] = static_cast<unsigned char>(current[i] - (i >= 4 ? current[i - 4] : 0));
        break;
      case PngFilter::kUp:
        for (size_t i = 0; i < rowBytes; ++i)
          out[1 + i] = static_cast<unsigned char>(current[i] - previous[i]);
        break;
    }
    current.swap(previous);
  }

  const int level = options.level < 0 ? 0 : options.level > 12 ? 12 : options.level;
  libdeflate_compressor* compressor = Compressor(level);
  if (!compressor)
    return {};
  std::vector<unsigned char> compressed(libdeflate_zlib_compress_bound(compressor, raw.size()));
  const size_t compressedSize = libdeflate_zlib_compress(compressor, raw.data(), raw.size(),
                                                         compressed.data(), compressed.size());
  if (compressedSize == 0)
    return {};

  std::string png("\x89PNG\r\n\x1A\n", 8);
  png.reserve(8 + 25 + 12 + compressedSize + 12);
  unsigned char header[13];
  const auto putWord = [](unsigned char* at, uint32_t v) {
    at[0] = static_cast<unsigned char>(v >> 24);
    at[1] = static_cast<unsigned char>(v >> 16);
    at[2] = static_cast<unsigned char>(v >> 8);
    at[3] = static_cast<unsigned char>(v);
  };
  putWord(header, static_cast<uint32_t>(width));
  putWord(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;   // bit depth
  header[9] = 6;   // colour type: RGBA
  header[10] = 0;  // deflate
  header[11] = 0;  // adaptive filtering
  header[12] = 0;  // not interlaced
  PutChunk(png, "IHDR", header, sizeof header);
  PutChunk(png, "IDAT", compressed.data(), compressedSize);
  PutChunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace korvane::platform
