// The code-page conversions both ways. Header line: "FROM TO" code-page numbers (any number,
// mapped or not); the rest is the text. The text is decoded from FROM, encoded back into FROM
// from its own bytes read as UTF-16, recoded FROM to TO, and passed through the program's text
// helpers (GBK, UTF-8 and UTF-16 bytes).

#include <cstdint>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "util/char_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  using namespace korvane::platform;
  const auto [pages, text] = fuzz::SplitFields<2>(data, size);
  const auto from = static_cast<unsigned>(fuzz::Number(pages, 0, 70000));
  const size_t space = pages.find(' ');
  const auto to = static_cast<unsigned>(
      fuzz::Number(space == std::string_view::npos ? std::string_view() : pages.substr(space + 1),
                   0, 70000, kCodePageGbk));
  const bool mapped = !CharsetForCodePage(from).empty();

  const auto units = DecodeCodePage(from, text);
  FUZZ_CHECK(units.has_value() == mapped);
  if (units) {
    // Every byte gives at most one unit, except a four-byte GB18030 or UTF-8 character which
    // gives a surrogate pair.
    FUZZ_CHECK(units->size() <= text.size() * 2);
    const auto again = EncodeCodePage(from, *units);
    FUZZ_CHECK(again.has_value());
  }

  // The text's bytes as UTF-16 code units (lone surrogates and all) encoded the other way.
  const std::u16string asUnits = BytesToUtf16(text);
  FUZZ_CHECK(Utf16ToBytes(asUnits) == text.substr(0, text.size() / 2 * 2));
  const auto encoded = EncodeCodePage(from, asUnits);
  FUZZ_CHECK(encoded.has_value() == mapped);

  RecodeText(text, from, to);
  GbkToUtf8(text);
  Utf8ToGbk(text);

  // The program's text helpers, which end at the first NUL and never report failure.
  const Bytes wide = AnsiToWide(text);
  FUZZ_CHECK(wide.empty() || wide.size() % 2 == 0);
  WideToAnsi(text);
  Utf8ToAnsi(text);
  CodePageToWide(text, from);
  WideToCodePage(text, from);
  return 0;
}
