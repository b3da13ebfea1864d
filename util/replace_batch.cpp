#include "util/replace_batch.h"

#include <vector>

#include "util/gbk_text.h"

namespace korvane {
namespace {

constexpr char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// For every byte of `text` (and the end), whether a character begins there.
std::vector<bool> CharacterStarts(std::string_view text) {
  std::vector<bool> starts(text.size() + 1, false);
  for (size_t at = 0; at < text.size(); at += gbk::CharLength(text, at))
    starts[at] = true;
  starts[text.size()] = true;
  return starts;
}

// `text` with the ASCII letters of its single-byte characters lowered; the second byte of a
// double-byte character stays as it is, so folding never turns one character into another.
std::string FoldSingleBytes(std::string_view text) {
  std::string out(text);
  for (size_t at = 0; at < text.size();) {
    const size_t length = gbk::CharLength(text, at);
    if (length == 1)
      out[at] = FoldCase(text[at]);
    at += length;
  }
  return out;
}

// Marks every byte offset where `needle` occurs in `haystack` (overlapping occurrences included),
// by Knuth-Morris-Pratt: linear in both lengths.
std::vector<bool> Occurrences(std::string_view haystack, std::string_view needle) {
  std::vector<bool> found(haystack.size(), false);
  std::vector<size_t> border(needle.size(), 0);
  for (size_t i = 1, k = 0; i < needle.size(); ++i) {
    while (k > 0 && needle[i] != needle[k])
      k = border[k - 1];
    if (needle[i] == needle[k])
      ++k;
    border[i] = k;
  }
  for (size_t i = 0, k = 0; i < haystack.size(); ++i) {
    while (k > 0 && haystack[i] != needle[k])
      k = border[k - 1];
    if (haystack[i] == needle[k])
      ++k;
    if (k == needle.size()) {
      found[i + 1 - needle.size()] = true;
      k = border[k - 1];
    }
  }
  return found;
}

std::string ReplacePass(std::string_view text, std::optional<long long> count, long long start,
                        bool caseSensitive, std::string_view find, std::string_view replacement) {
  const bool limited = count.has_value() && *count >= 0;
  if (text.empty() || find.empty() || (limited && *count == 0) ||
      start > static_cast<long long>(text.size())) {
    return std::string(text);
  }
  const std::vector<bool> boundary = CharacterStarts(text);
  const std::vector<bool> matches = caseSensitive
                                        ? Occurrences(text, find)
                                        : Occurrences(FoldSingleBytes(text), FoldSingleBytes(find));

  size_t first = start <= 1 ? 0 : static_cast<size_t>(start - 1);
  while (!boundary[first])
    ++first;
  std::string out(text.substr(0, first));
  out.reserve(text.size());
  long long made = 0;
  size_t at = first;
  while (at < text.size()) {
    // A match must also end where a character ends, or it would take half a character with it.
    if (matches[at] && boundary[at + find.size()]) {
      out.append(replacement);
      at += find.size();
      ++made;
      if (limited && made == *count)
        break;
      continue;
    }
    const size_t length = gbk::CharLength(text, at);
    out.append(text.substr(at, length));
    at += length;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace

std::string ReplaceBatch(std::string_view text, std::optional<long long> count, long long start,
                         bool caseSensitive, std::string_view find1, std::string_view replacement1,
                         std::string_view find2, std::string_view replacement2,
                         std::string_view find3, std::string_view replacement3,
                         std::string_view find4, std::string_view replacement4,
                         std::string_view find5, std::string_view replacement5) {
  const std::string_view pairs[5][2] = {{find1, replacement1},
                                        {find2, replacement2},
                                        {find3, replacement3},
                                        {find4, replacement4},
                                        {find5, replacement5}};
  std::string result(text);
  for (const auto& pair : pairs) {
    // A pass with nothing to search for changes nothing: skipping it saves a copy of the text,
    // which for a large document is most of the cost of the call.
    if (!pair[0].empty())
      result = ReplacePass(result, count, start, caseSensitive, pair[0], pair[1]);
  }
  return result;
}

}  // namespace korvane
