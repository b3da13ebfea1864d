#include "util/gbk_text.h"

#include <algorithm>

namespace korvane::gbk {
namespace {

constexpr unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool MatchesAt(std::string_view text, size_t pos, std::string_view needle, bool ignoreCase) {
  if (needle.size() > text.size() - pos)
    return false;
  return BytesEqual(text.substr(pos, needle.size()), needle, ignoreCase);
}

// True when `text` has no byte of 0x80 or more: then each byte is a character of its own.
bool IsAsciiOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

// The first position at or after `from` where the bytes of `needle` occur, ASCII letters folded
// when `ignoreCase`; npos when there is none.
size_t FindBytes(std::string_view text, std::string_view needle, size_t from, bool ignoreCase) {
  if (!ignoreCase)
    return text.find(needle, from);
  if (needle.size() > text.size())
    return npos;
  const unsigned char first = Lower(static_cast<unsigned char>(needle[0]));
  for (size_t at = from; at + needle.size() <= text.size(); ++at) {
    if (Lower(static_cast<unsigned char>(text[at])) != first)
      continue;
    size_t i = 1;
    while (i < needle.size() && Lower(static_cast<unsigned char>(text[at + i])) ==
                                    Lower(static_cast<unsigned char>(needle[i])))
      ++i;
    if (i == needle.size())
      return at;
  }
  return npos;
}

}  // namespace

size_t CharLength(std::string_view text, size_t pos) {
  if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])))
    return 2;
  return 1;
}

size_t BoundaryAtOrAfter(std::string_view text, size_t pos) {
  if (pos >= text.size())
    return text.size();
  size_t at = 0;
  while (at < pos)
    at += CharLength(text, at);
  return at;
}

size_t FindFromBoundary(std::string_view text, std::string_view needle, size_t from,
                        bool ignoreCase) {
  // A match at a character boundary is also a match of the bytes (a double-byte character
  // compares exactly, which folding would allow too). So where the bytes never match there is
  // no match, and where the text is ASCII from `from` to the end of the first byte match, every
  // byte is a character and that match is the first one. Only text with double-byte characters
  // before the match needs the walk character by character.
  if (from < text.size() && !needle.empty()) {
    const size_t bytes = FindBytes(text, needle, from, ignoreCase);
    if (bytes == npos)
      return npos;
    if (IsAsciiOnly(text.substr(from, bytes + needle.size() - from)))
      return bytes;
  }
  for (size_t at = from; at < text.size(); at += CharLength(text, at)) {
    if (MatchesAt(text, at, needle, ignoreCase))
      return at;
  }
  return npos;
}

size_t Find(std::string_view text, std::string_view needle, size_t from, bool ignoreCase) {
  return FindFromBoundary(text, needle, BoundaryAtOrAfter(text, from), ignoreCase);
}

bool BytesEqual(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size())
    return false;
  if (!ignoreCase)
    return a == b;
  // Characters are read from `a`: a double-byte character compares byte for byte, so the trail
  // byte of one (which may be an ASCII letter) is never folded.
  for (size_t i = 0; i < a.size();) {
    if (CharLength(a, i) == 2) {
      if (a.compare(i, 2, b, i, 2) != 0)
        return false;
      i += 2;
    } else {
      if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i]))) {
        return false;
      }
      ++i;
    }
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); i += CharLength(text, i)) {
    out[i] = static_cast<char>(Lower(static_cast<unsigned char>(out[i])));
  }
  return out;
}

std::string Trim(std::string_view text) {
  constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
  size_t begin = 0;
  while (begin < text.size()) {
    if (text[begin] == ' ') {
      ++begin;
    } else if (text.substr(begin, 2) == kFullWidthSpace) {
      begin += 2;
    } else {
      break;
    }
  }
  // Walk forward to find where trailing spaces begin, so a full-width space is only recognised
  // where a character starts (the trail byte of another character may be A1).
  size_t end = begin;
  size_t at = begin;
  while (at < text.size()) {
    const size_t length = CharLength(text, at);
    const bool space = text[at] == ' ' || (length == 2 && text.substr(at, 2) == kFullWidthSpace);
    at += length;
    if (!space)
      end = at;
  }
  return std::string(text.substr(begin, end - begin));
}

}  // namespace korvane::gbk
