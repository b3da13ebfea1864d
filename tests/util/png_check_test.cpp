#include "util/png_check.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

std::string BigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Chunk(std::string_view type, std::string_view data) {
  const std::string typeAndData = std::string(type) + std::string(data);
  return BigEndian(static_cast<uint32_t>(data.size())) + typeAndData +
         BigEndian(PngCrc32(typeAndData));
}

const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
// A 1×1 grey picture: width, height, depth 8, colour type 0, then one zlib-compressed row.
const std::string kIhdr = Chunk("IHDR", std::string("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
const std::string kIdat =
    Chunk("IDAT", std::string("\x78\x9C\x63\x60\x00\x00\x00\x02\x00\x01", 10));
const std::string kIend = Chunk("IEND", "");
const std::string kWhole =
    kSignature + kIhdr + Chunk("tEXt", std::string_view("a\0b", 3)) + kIdat + kIend;

TEST(PngCheck, CrcIsTheOnePngUses) {
  EXPECT_EQ(PngCrc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(kIend.substr(8), std::string("\xAE\x42\x60\x82", 4));
  // Continuing a CRC over a second piece gives the CRC of the whole.
  EXPECT_EQ(PngCrc32("6789", PngCrc32("12345")), 0xCBF43926u);
}

TEST(PngCheck, AWholePictureAndOnlyItPasses) {
  ASSERT_EQ(CheckPngStructure(kWhole), PngFault::kNone);
  // Every way of stopping short fails, wherever the writer died.
  for (size_t length = 0; length < kWhole.size(); ++length) {
    EXPECT_NE(CheckPngStructure(kWhole.substr(0, length)), PngFault::kNone) << length;
  }
  // So does every single flipped bit after the signature: a length, a type, data or a CRC.
  for (size_t at = kSignature.size(); at < kWhole.size(); ++at) {
    std::string damaged = kWhole;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
    EXPECT_NE(CheckPngStructure(damaged), PngFault::kNone) << at;
  }
}

TEST(PngCheck, AStopEndsTheCheckOfALargePicture) {
  const std::string large = kSignature + kIhdr + Chunk("IDAT", std::string(8 << 20, 'x')) + kIend;
  ASSERT_EQ(CheckPngStructure(large), PngFault::kNone);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(CheckPngStructure(large, stop.get_token()), PngFault::kStopped);
}

TEST(PngCheck, EachFaultIsNamed) {
  std::string badCrc = kWhole;
  badCrc[kSignature.size() + kIhdr.size() + 8] ^= 1;  // the first byte of tEXt's data
  const std::string hugeLength = kSignature + kIhdr + std::string("\x80\0\0\0IDAT", 8);
  const struct {
    std::string bytes;
    PngFault fault;
  } cases[] = {
      {"", PngFault::kNoSignature},
      {"<html>not a picture</html>", PngFault::kNoSignature},
      {kSignature, PngFault::kNoIend},
      {kSignature + kIhdr + kIdat, PngFault::kNoIend},
      {kSignature + kIhdr + kIdat.substr(0, 20), PngFault::kTruncatedChunk},
      {kSignature + kIhdr + kIdat + kIend.substr(0, 11), PngFault::kTruncatedChunk},
      {badCrc, PngFault::kBadCrc},
      {hugeLength, PngFault::kBadLength},
      {kSignature + kIhdr + Chunk("ID1T", "x") + kIdat + kIend, PngFault::kBadChunkType},
      {kSignature + kIdat + kIhdr + kIend, PngFault::kIhdrNotFirst},
      {kSignature + Chunk("IHDR", "short") + kIdat + kIend, PngFault::kIhdrNotFirst},
      {kSignature + kIhdr + kIend, PngFault::kNoImageData},
      {kWhole + "x", PngFault::kDataAfterIend},
      {kWhole + kIend, PngFault::kDataAfterIend},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckPngStructure(c.bytes), c.fault) << PngFaultText(c.fault);
    EXPECT_FALSE(PngFaultText(c.fault).empty());
  }
}

}  // namespace
}  // namespace korvane
