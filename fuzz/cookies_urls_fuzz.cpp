// Cookie merging and the cookie, header and URL helpers. Header lines: the cookies kept, the
// cookies just set, a separator; the rest is a URL or header text.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "http/cookies.h"
#include "http/url_helpers.h"
#include "util/gbk_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [kept, set, separator, text] = fuzz::SplitFields<4>(data, size);

  std::string cookies(kept);
  std::string newCookies(set);
  const std::string merged = MergeCookies(cookies, newCookies);
  FUZZ_CHECK(merged == cookies);
  // Spaces go where a character begins; a 0x20 after a lead byte is that character's second byte.
  FUZZ_CHECK(gbk::Find(newCookies, " ") == gbk::npos);
  // Merging the same cookies again changes nothing.
  std::string again = newCookies;
  FUZZ_CHECK(MergeCookies(cookies, again) == merged);

  std::vector<std::string> entries;
  for (const std::string_view entry : SplitList(merged, ";"))
    entries.emplace_back(entry);
  for (const std::string& entry : entries) {
    const std::string name = CookieName(entry);
    FUZZ_CHECK(HasCookie(entries, name));
    FUZZ_CHECK(IndexOfText(entries, entry) >= 1);
  }
  FUZZ_CHECK(IndexOfText(entries, text) == -1 || entries[IndexOfText(entries, text) - 1] == text);

  const std::vector<std::string_view> pieces = SplitList(text, separator);
  FUZZ_CHECK(text.empty() == pieces.empty());
  const std::string unique = JoinUnique(text, separator);
  FUZZ_CHECK(unique.size() <= text.size());

  const std::string host = UrlHost(text);
  FUZZ_CHECK(host.size() <= text.size());
  FUZZ_CHECK(UrlHost(text, true).size() >= host.size());
  const int port = UrlPort(text);
  FUZZ_CHECK(port >= 0);
  const std::string path = UrlPath(text);
  FUZZ_CHECK(!path.empty() && path.size() <= text.size() + 1);
  FUZZ_CHECK(HeaderValue(text).size() <= text.size());
  return 0;
}
