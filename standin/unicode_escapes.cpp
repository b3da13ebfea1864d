#include "standin/unicode_escapes.h"

#include <cstdio>

namespace korvane::standin {
namespace {

void AppendUnit(std::string& out, unsigned unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit & 0xFFFFu);
  out += buf;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is malformed
// (overlong, surrogate, out of range or cut short).
size_t DecodeUtf8(std::string_view text, size_t i, unsigned& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned b0 = byte(i);
  size_t len;
  unsigned min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size())
    return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

}  // namespace

std::string EscapeNonAscii(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    unsigned cp = 0;
    const size_t len = DecodeUtf8(utf8, i, cp);
    if (len == 0) {
      AppendUnit(out, 0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUnit(out, 0xD800 + (cp >> 10));
      AppendUnit(out, 0xDC00 + (cp & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
    i += len;
  }
  return out;
}

std::string EscapeEveryCharacter(std::string_view ascii) {
  std::string out;
  for (unsigned char c : ascii)
    AppendUnit(out, c);
  return out;
}

}  // namespace korvane::standin
