#include "util/text_between.h"

#include "util/gbk_text.h"

namespace korvane {
namespace {

constexpr std::string_view kQuotePlaceholder = "#引号";

// The 1-based position of `needle` in `text` searching from the 1-based position `from`, or -1.
// An empty needle is found at position 1 whenever the searched range is not empty.
long long Position(std::string_view text, std::string_view needle, long long from,
                   bool ignoreCase) {
  const size_t begin = from <= 1 ? 0 : static_cast<size_t>(from - 1);
  if (begin >= text.size())
    return -1;
  if (needle.empty())
    return 1;
  const size_t at = gbk::Find(text, needle, begin, ignoreCase);
  return at == gbk::npos ? -1 : static_cast<long long>(at) + 1;
}

}  // namespace

std::string ExpandQuotePlaceholder(std::string_view mark) {
  std::string out;
  size_t at = 0;
  while (at < mark.size()) {
    const size_t found = gbk::FindFromBoundary(mark, kQuotePlaceholder, at);
    if (found == gbk::npos)
      break;
    out.append(mark.substr(at, found - at));
    out.push_back('"');
    at = found + kQuotePlaceholder.size();
  }
  out.append(mark.substr(at));
  return out;
}

std::string TextBetween(std::string_view text, std::string_view leftMark,
                        std::string_view rightMark, long long startPos, bool ignoreCase) {
  const std::string left = ExpandQuotePlaceholder(leftMark);
  const std::string right = ExpandQuotePlaceholder(rightMark);
  long long a = Position(text, left, startPos, ignoreCase);
  if (a != -1)
    a += static_cast<long long>(left.size());
  if (a == -1)
    return {};
  const long long b = Position(text, right, a, ignoreCase);
  if (b == -1 || b < a)
    return {};
  return std::string(text.substr(static_cast<size_t>(a - 1), static_cast<size_t>(b - a)));
}

}  // namespace korvane
