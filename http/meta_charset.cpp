#include "http/meta_charset.h"

#include <algorithm>

namespace korvane {
namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when "<meta" occurs anywhere in `head`, in any letter case. This is a byte search, not a
// character search: the head is whatever the server sent, and a stray byte of 0x81 or more just
// before the tag (the last byte of a UTF-8 character, say) must not hide it, because the pattern
// search below still finds the tag there.
bool MayHoldMetaTag(std::string_view head) {
  constexpr std::string_view kTag = "<meta";
  return std::search(head.begin(), head.end(), kTag.begin(), kTag.end(),
                     [](char a, char b) { return AsciiLower(a) == b; }) != head.end();
}

}  // namespace

std::string DeclaredCharset(RegexObject& regex, std::string_view page) {
  const std::string_view head = page.substr(0, kCharsetHeadSize);
  // The pattern begins with a literal "<meta": without one the search cannot match, and most
  // pages fetched (JSON) have none, so the engine is not started for them.
  if (!MayHoldMetaTag(head))
    return {};
  if (!regex.Search("<meta.+?charset=[^\\w]?([-\\w]+)", head))
    return {};
  return regex.SubMatchText(1, 1);
}

}  // namespace korvane
