#include "app/tools/gif_writer.h"

#include <algorithm>

namespace korvane::gif {
namespace {

void PutWord(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// Packs codes least significant bit first and cuts the stream into sub-blocks of up to 255 bytes.
class CodeWriter {
 public:
  explicit CodeWriter(std::string& out) : out_(out) {}

  void Put(int code, int size) {
    bits_ |= static_cast<std::uint32_t>(code) << bitCount_;
    bitCount_ += size;
    while (bitCount_ >= 8) {
      PutByte(static_cast<std::uint8_t>(bits_ & 0xFF));
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }

  void Finish() {
    if (bitCount_ > 0) {
      PutByte(static_cast<std::uint8_t>(bits_ & 0xFF));
    }
    FlushBlock();
    out_.push_back('\0');
  }

 private:
  void PutByte(std::uint8_t byte) {
    block_.push_back(static_cast<char>(byte));
    if (block_.size() == 255) {
      FlushBlock();
    }
  }

  void FlushBlock() {
    if (block_.empty()) {
      return;
    }
    out_.push_back(static_cast<char>(block_.size()));
    out_ += block_;
    block_.clear();
  }

  std::string& out_;
  std::string block_;
  std::uint32_t bits_ = 0;
  int bitCount_ = 0;
};

constexpr int kMaxCode = 4095;

}  // namespace

std::string CompressImageData(const std::vector<std::uint8_t>& pixels, int minCodeSize) {
  std::string out;
  out.push_back(static_cast<char>(minCodeSize));
  CodeWriter writer(out);
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  // next[code * 256 + byte]: the code of the string `code` extended by `byte`, 0 when absent.
  std::vector<std::uint16_t> next(static_cast<std::size_t>(kMaxCode + 1) * 256, 0);
  int codeSize = minCodeSize + 1;
  int lastCode = endCode;
  int current = -1;
  writer.Put(clearCode, codeSize);
  for (std::uint8_t byte : pixels) {
    if (current < 0) {
      current = byte;
      continue;
    }
    std::uint16_t& entry = next[static_cast<std::size_t>(current) * 256 + byte];
    if (entry != 0) {
      current = entry;
      continue;
    }
    writer.Put(current, codeSize);
    entry = static_cast<std::uint16_t>(++lastCode);
    if (lastCode >= (1 << codeSize)) {
      ++codeSize;
    }
    if (lastCode == kMaxCode) {
      // The table is full: start a new one so the codes never need more than 12 bits.
      writer.Put(clearCode, codeSize);
      std::fill(next.begin(), next.end(), 0);
      codeSize = minCodeSize + 1;
      lastCode = endCode;
    }
    current = byte;
  }
  if (current >= 0) {
    writer.Put(current, codeSize);
  }
  writer.Put(endCode, codeSize);
  writer.Finish();
  return out;
}

std::string EncodeAnimation(int width, int height, const std::vector<Rgb>& palette,
                            const std::vector<Frame>& frames) {
  if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF || palette.size() < 2 ||
      palette.size() > 256 || frames.empty()) {
    return {};
  }
  const std::size_t pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (const Frame& frame : frames) {
    if (frame.pixels.size() != pixelCount ||
        std::any_of(frame.pixels.begin(), frame.pixels.end(),
                    [&](std::uint8_t index) { return index >= palette.size(); })) {
      return {};
    }
  }
  // The colour table holds 2^(tableBits) entries; the unused tail is black.
  int tableBits = 1;
  while ((1u << tableBits) < palette.size()) {
    ++tableBits;
  }

  std::string out = "GIF89a";
  PutWord(out, width);
  PutWord(out, height);
  out.push_back(static_cast<char>(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
  out.push_back('\0');  // background colour index
  out.push_back('\0');  // no pixel aspect ratio
  for (int i = 0; i < (1 << tableBits); ++i) {
    const Rgb colour = i < static_cast<int>(palette.size()) ? palette[i] : Rgb{};
    out.push_back(static_cast<char>(colour.r));
    out.push_back(static_cast<char>(colour.g));
    out.push_back(static_cast<char>(colour.b));
  }
  // Application extension: loop count 0, that is without end.
  out += std::string("\x21\xFF\x0B", 3) + "NETSCAPE2.0" + std::string("\x03\x01\x00\x00\x00", 5);

  const int minCodeSize = std::max(2, tableBits);
  for (const Frame& frame : frames) {
    // Graphic control extension: each frame replaces the previous one whole, no transparency.
    out += std::string("\x21\xF9\x04\x04", 4);
    PutWord(out, std::clamp(frame.delayCentiseconds, 0, 0xFFFF));
    out += std::string("\x00\x00", 2);
    out.push_back(',');
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, width);
    PutWord(out, height);
    out.push_back('\0');  // no local colour table, not interlaced
    out += CompressImageData(frame.pixels, minCodeSize);
  }
  out.push_back(';');
  return out;
}

}  // namespace korvane::gif
