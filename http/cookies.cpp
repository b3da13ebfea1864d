#include "http/cookies.h"

#include <unordered_set>

#include "util/gbk_text.h"

namespace korvane {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
constexpr std::string_view kDeletedSuffix = "=deleted";

// `text` without ASCII spaces and full-width spaces; a full-width space counts only where a
// character begins, so a character whose second byte is A1 is kept whole.
std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = gbk::CharLength(text, at);
    const std::string_view character = text.substr(at, length);
    if (character != " " && character != kFullWidthSpace)
      out.append(character);
    at += length;
  }
  return out;
}

// `entry` without a lead byte that ends it with nothing to pair with (a cookie value cut in the
// middle of a character). Joined to the next entry, that byte would take the separator's ";" as
// its second byte and glue the two cookies into one.
std::string_view WithoutDanglingLeadByte(std::string_view entry) {
  size_t at = 0;
  while (at < entry.size()) {
    const size_t length = gbk::CharLength(entry, at);
    if (at + length == entry.size() && length == 1 &&
        gbk::IsLeadByte(static_cast<unsigned char>(entry[at])))
      return entry.substr(0, at);
    at += length;
  }
  return entry;
}

// The entries of a cookie text, each without a dangling lead byte, before names are read from
// them; an entry that was nothing but that byte goes, rather than become an empty one.
std::vector<std::string_view> CookieEntries(std::string_view text) {
  std::vector<std::string_view> entries;
  for (std::string_view entry : SplitList(text, ";")) {
    const std::string_view whole = WithoutDanglingLeadByte(entry);
    if (!whole.empty() || entry.empty())
      entries.push_back(whole);
  }
  return entries;
}

bool IsDeleted(std::string_view entry) {
  return entry.size() >= kDeletedSuffix.size() &&
         entry.substr(entry.size() - kDeletedSuffix.size()) == kDeletedSuffix;
}

}  // namespace

std::vector<std::string_view> SplitList(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  if (text.empty())
    return pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  size_t at = 0;
  while (at < text.size()) {
    const size_t found = gbk::FindFromBoundary(text, separator, at);
    if (found == gbk::npos) {
      pieces.push_back(text.substr(at));
      break;
    }
    pieces.push_back(text.substr(at, found - at));
    at = found + separator.size();
  }
  return pieces;
}

std::string CookieName(std::string_view entry) {
  return gbk::Trim(entry.substr(0, entry.find('=')));
}

bool HasCookie(const std::vector<std::string>& list, std::string_view name) {
  for (const std::string& entry : list) {
    if (CookieName(entry) == name)
      return true;
  }
  return false;
}

long long IndexOfText(const std::vector<std::string>& list, std::string_view text) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == text)
      return static_cast<long long>(i) + 1;
  }
  return -1;
}

std::string JoinUnique(std::string_view text, std::string_view separator) {
  // A set of the pieces taken so far stands in for searching that list piece by piece.
  std::unordered_set<std::string_view> taken;
  std::string out;
  for (std::string_view piece : SplitList(text, separator)) {
    if (taken.insert(piece).second) {
      out.append(piece);
      out.append(separator);
    }
  }
  out.resize(out.size() >= separator.size() ? out.size() - separator.size() : 0);
  return out;
}

std::string MergeCookies(std::string& cookies, std::string& newCookies) {
  cookies = RemoveSpaces(cookies);
  newCookies = RemoveSpaces(newCookies);

  std::vector<std::string_view> merged = CookieEntries(newCookies);
  std::unordered_set<std::string> names;
  for (std::string_view entry : merged)
    names.insert(CookieName(entry));
  // Old entries the new list does not name follow, in their order; the names set grows with each
  // one carried over, so of two old entries with one name only the first comes along.
  for (std::string_view entry : CookieEntries(cookies)) {
    if (names.insert(CookieName(entry)).second)
      merged.push_back(entry);
  }

  std::string joined;
  for (std::string_view entry : merged) {
    if (!IsDeleted(entry)) {
      joined.append(entry);
      joined.append("; ");
    }
  }
  joined.resize(joined.size() >= 2 ? joined.size() - 2 : 0);
  cookies = JoinUnique(joined, "; ");
  return cookies;
}

}  // namespace korvane
