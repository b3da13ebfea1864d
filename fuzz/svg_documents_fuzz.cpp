// The SVG document builder: an icon's markup (a collection's show_svg) in, its standalone
// documents out, each within the builder's size limit. Header line: the viewBox value, or empty to
// take it from the markup as the collection loop does; the rest is the markup.

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "pipeline/icon_documents.h"
#include "script/regex_object.h"
#include "util/text_between.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const auto [viewBoxLine, markup] = fuzz::SplitFields<2>(data, size);
  const std::string viewBox =
      viewBoxLine.empty() ? TextBetween(markup, "viewBox=\"", "\"") : std::string(viewBoxLine);

  const int count = CountPathRuns(markup);
  RegexObject regex;
  if (!SearchPathRuns(regex, markup)) {
    FUZZ_CHECK(count == 0);
    return 0;
  }
  FUZZ_CHECK(regex.MatchCount() == count);
  for (int i = 1; i <= count; ++i) {
    const std::string run = regex.SubMatchText(i, 1);
    const std::optional<std::string> document = BuildDocument(run, viewBox);
    if (!document)
      continue;  // over the limit: counted as a failed document, never built
    FUZZ_CHECK(document->size() <= kMaxDocumentBytes);
    FUZZ_CHECK(document->rfind("<?xml version=\"1.0\" standalone=\"no\"?>\r\n", 0) == 0);
    // The template's own fill agrees (compared on documents of ordinary size only, where making
    // a second copy costs little).
    if (document->size() <= 1024 * 1024)
      FUZZ_CHECK(*document == FillDocumentTemplate(run, viewBox));
  }
  return 0;
}
