// A raw response header block as both request routines read it: Set-Cookie spelled one way, the
// block cut into lines, the Location line, the cookie pairs merged into the caller's cookies, and
// the header checks a caller's own request headers go through. Header line: the caller's
// cookies; the rest is the block.

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "http/cookies.h"
#include "http/response_headers.h"
#include "http/url_helpers.h"
#include "platform/http_transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [callerCookies, rawBlock] = fuzz::SplitFields<2>(data, size);

  const std::string block = NormaliseSetCookie(std::string(rawBlock));
  FUZZ_CHECK(block.size() == rawBlock.size());
  for (size_t i = 0; i < block.size(); ++i)
    FUZZ_CHECK(std::tolower(static_cast<unsigned char>(block[i])) ==
               std::tolower(static_cast<unsigned char>(rawBlock[i])));

  size_t total = 0;
  for (const std::string_view line : HeaderLines(block)) {
    FUZZ_CHECK(line.find("\r\n") == std::string_view::npos);
    total += line.size() + 2;
    HeaderValue(line);
  }
  FUZZ_CHECK(total <= block.size());

  std::string setCookies = SetCookiePairs(block);
  std::string cookies(callerCookies);
  MergeCookies(cookies, setCookies);

  std::vector<std::string> lines;
  if (platform::SplitHeaderLines(rawBlock, lines)) {
    for (const std::string& line : lines) {
      FUZZ_CHECK(!line.empty());
      FUZZ_CHECK(!platform::HasLineBreakOrNul(line));
    }
  }
  const std::string target = platform::EscapeRequestTarget(rawBlock);
  FUZZ_CHECK(!platform::HasLineBreakOrNul(target));
  return 0;
}
