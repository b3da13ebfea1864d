// A fetched page re-decoded by the charset it declares: the first line names a charset (or is
// empty, leaving the page's own <meta> declaration to decide, as the request routine does), the
// rest is the page body.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "http/charset_decode.h"
#include "http/meta_charset.h"
#include "script/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [label, body] = fuzz::SplitFields<2>(data, size);

  // The mapping alone: a known alias gives a name without letters of other cases.
  const std::string iconvName = IconvCharsetName(label);
  FUZZ_CHECK(!iconvName.empty() || label.empty());

  if (const auto decoded = DecodeToGbk(body, label))
    FUZZ_CHECK(decoded->find('\0') == std::string::npos);

  // The request routine's own path: the page up to its first NUL searched for a declaration,
  // then the whole body decoded by it.
  const std::string_view page = body.substr(0, body.find('\0'));
  RegexObject regex;
  const std::string declared = DeclaredCharset(regex, page);
  FUZZ_CHECK(declared.size() <= kCharsetHeadSize);
  if (!declared.empty()) {
    if (const auto decoded = DecodeToGbk(body, declared))
      FUZZ_CHECK(decoded->find('\0') == std::string::npos);
  }
  return 0;
}
