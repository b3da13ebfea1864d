// The stand-in's multipart/form-data parser, which reads every upload body a client sends.
// Header lines: the Content-Type header value, the most parts accepted; the rest is the body.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "standin/multipart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [contentType, maxField, body] = fuzz::SplitFields<3>(data, size);
  const size_t maxParts = static_cast<size_t>(fuzz::Number(maxField, 0, 64, 32));

  const auto boundary = standin::BoundaryFromContentType(contentType);
  if (boundary)
    FUZZ_CHECK(!boundary->empty() && boundary->size() <= 70);
  // A body is read with the header's boundary, or with the tool's own when the header has none.
  const std::string used = boundary ? *boundary : "----WebKitFormBoundaryNiSHR5Sz849aAU0E";
  const standin::MultipartResult result = standin::ParseMultipart(body, used, maxParts);
  FUZZ_CHECK(result.ok == result.error.empty());
  if (result.ok) {
    FUZZ_CHECK(result.parts.size() <= maxParts);
    size_t bytes = 0;
    for (const standin::FormPart& part : result.parts) {
      FUZZ_CHECK(!part.name.empty());
      FUZZ_CHECK(part.hasFilename || part.filename.empty());
      FUZZ_CHECK(standin::FindPart(result.parts, part.name) != nullptr);
      bytes += part.data.size();
    }
    FUZZ_CHECK(bytes <= body.size());
  } else {
    FUZZ_CHECK(result.parts.empty());
  }
  return 0;
}
