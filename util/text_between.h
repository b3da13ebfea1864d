// Cuts out the piece of a text between a left mark and the next right mark after it: the way the
// program pulls a value out of a header line, a URL or markup without a parser.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Returns the text strictly between the first `leftMark` found at or after `startPos` (1-based;
// 1 or less means the beginning) and the first `rightMark` after it, or an empty text when either
// is missing. "#引号" inside a mark stands for a double quote. Marks are only found where a
// character begins; `ignoreCase` makes ASCII letters match regardless of case. An empty mark is
// found at the beginning of the text whenever some text remains to search.
std::string TextBetween(std::string_view text, std::string_view leftMark,
                        std::string_view rightMark, long long startPos = 0,
                        bool ignoreCase = false);

// Every "#引号" in `mark` replaced by a double quote.
std::string ExpandQuotePlaceholder(std::string_view mark);

}  // namespace korvane
