#include "util/png_check.h"

#include <algorithm>
#include <array>

namespace korvane {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr size_t kStopCheckBytes = 1 << 20;

// Four tables for a slice-by-4 CRC: a 64 MiB picture is checked in a fraction of its download.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeCrcTables() {
  std::array<std::array<uint32_t, 256>, 4> tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n) {
    for (size_t t = 1; t < 4; ++t)
      tables[t][n] = (tables[t - 1][n] >> 8) ^ tables[0][tables[t - 1][n] & 0xFF];
  }
  return tables;
}

constexpr auto kCrcTables = MakeCrcTables();

uint32_t ReadBigEndian(std::string_view bytes, size_t at) {
  const auto b = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i]));
  };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

uint32_t PngCrc32(std::string_view bytes, uint32_t crc) {
  uint32_t c = ~crc;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  while (left >= 4) {
    c ^= static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    c = kCrcTables[3][c & 0xFF] ^ kCrcTables[2][(c >> 8) & 0xFF] ^ kCrcTables[1][(c >> 16) & 0xFF] ^
        kCrcTables[0][c >> 24];
    p += 4;
    left -= 4;
  }
  while (left-- > 0)
    c = kCrcTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

PngFault CheckPngStructure(std::string_view bytes, std::stop_token stop) {
  if (bytes.size() < kSignature.size() || bytes.substr(0, kSignature.size()) != kSignature)
    return PngFault::kNoSignature;
  size_t at = kSignature.size();
  bool first = true;
  bool imageData = false;
  while (at < bytes.size()) {
    // Length and type, the data, then four bytes of CRC over type and data.
    if (bytes.size() - at < 8)
      return PngFault::kTruncatedChunk;
    const uint32_t length = ReadBigEndian(bytes, at);
    if (length > kMaxChunkLength)
      return PngFault::kBadLength;
    const std::string_view type = bytes.substr(at + 4, 4);
    for (const char c : type) {
      if (!IsAsciiLetter(c))
        return PngFault::kBadChunkType;
    }
    if (bytes.size() - at - 8 < static_cast<size_t>(length) + 4)
      return PngFault::kTruncatedChunk;
    std::string_view typeAndData = bytes.substr(at + 4, 4 + static_cast<size_t>(length));
    uint32_t crc = 0;
    while (!typeAndData.empty()) {
      if (stop.stop_requested())
        return PngFault::kStopped;
      const size_t slice = std::min(typeAndData.size(), kStopCheckBytes);
      crc = PngCrc32(typeAndData.substr(0, slice), crc);
      typeAndData.remove_prefix(slice);
    }
    if (crc != ReadBigEndian(bytes, at + 8 + length))
      return PngFault::kBadCrc;
    if (first && (type != "IHDR" || length != 13))
      return PngFault::kIhdrNotFirst;
    first = false;
    at += 12 + static_cast<size_t>(length);
    if (type == "IDAT") {
      imageData = true;
    } else if (type == "IEND") {
      if (!imageData)
        return PngFault::kNoImageData;
      return at == bytes.size() ? PngFault::kNone : PngFault::kDataAfterIend;
    }
  }
  return PngFault::kNoIend;
}

std::string_view PngFaultText(PngFault fault) {
  switch (fault) {
    case PngFault::kNone:
      return "a whole PNG";
    case PngFault::kNoSignature:
      return "not a PNG (no PNG signature)";
    case PngFault::kTruncatedChunk:
      return "truncated PNG (a chunk runs past the end of the data)";
    case PngFault::kBadLength:
      return "broken PNG (a chunk length out of range)";
    case PngFault::kBadChunkType:
      return "broken PNG (a chunk type that is not four letters)";
    case PngFault::kBadCrc:
      return "damaged PNG (a chunk CRC does not match)";
    case PngFault::kIhdrNotFirst:
      return "broken PNG (IHDR is not the first chunk)";
    case PngFault::kNoImageData:
      return "broken PNG (no IDAT before IEND)";
    case PngFault::kNoIend:
      return "truncated PNG (no IEND chunk)";
    case PngFault::kDataAfterIend:
      return "broken PNG (data after the IEND chunk)";
    case PngFault::kStopped:
      return "check stopped";
  }
  return "broken PNG";
}

}  // namespace korvane
