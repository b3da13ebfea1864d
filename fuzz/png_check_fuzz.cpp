// The check a downloaded PNG passes before it is saved: the chunk structure check, on the bytes of
// the download as they came. The structure check is compared with a plain walk over the chunks
// written here, so a fault either side misses shows.

#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "util/png_check.h"

namespace {

uint32_t BigEndian(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

bool Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whole by the same rules, walked independently.
bool WholePng(std::string_view bytes) {
  if (bytes.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
    return false;
  size_t at = 8;
  bool first = true;
  bool idat = false;
  while (true) {
    if (bytes.size() - at < 12)
      return false;
    const uint32_t length = BigEndian(bytes, at);
    if (length > 0x7FFFFFFFu || bytes.size() - at - 12 < length)
      return false;
    const std::string_view type = bytes.substr(at + 4, 4);
    for (char c : type) {
      if (!Letter(c))
        return false;
    }
    if (korvane::PngCrc32(bytes.substr(at + 4, 4 + length)) != BigEndian(bytes, at + 8 + length))
      return false;
    if (first && (type != "IHDR" || length != 13))
      return false;
    first = false;
    idat = idat || type == "IDAT";
    at += 12 + length;
    if (type == "IEND")
      return idat && at == bytes.size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const PngFault fault = CheckPngStructure(bytes);
  FUZZ_CHECK(!PngFaultText(fault).empty());
  FUZZ_CHECK((fault == PngFault::kNone) == WholePng(bytes));
  if (bytes.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8))
    FUZZ_CHECK(fault == PngFault::kNoSignature);
  return 0;
}
