// The check a downloaded PNG passes before it is saved: the bytes of the download as they came.

#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "pipeline/conversion_service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool png = LooksLikePng(bytes);
  FUZZ_CHECK(!png || bytes.size() >= 8);
  return 0;
}
