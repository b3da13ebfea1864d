// Escape decoding of a status reply's text: the script engine's unescape (the text crosses into
// the engine as string data, never as script) and the program's own percent decoder.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "util/unescape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  UnescapeText(text);
  const std::string decoded = PercentDecode(text);
  // Each escape gives at most the two bytes of one GBK character (or a '?'), fewer than it
  // took; every other byte is copied.
  FUZZ_CHECK(decoded.size() <= text.size());
  // An escape-free text decodes to itself.
  if (text.find('%') == std::string_view::npos)
    FUZZ_CHECK(decoded == text);

  // Up to 15 digits stay below 2^63, so the value is a number or the -1 of a non-digit (16
  // digits may fill the sign bit, as the contract allows).
  FUZZ_CHECK(HexValue(text.substr(0, 15)) >= -1);
  return 0;
}
