#include "util/char_set.h"

#include <algorithm>

namespace korvane {
namespace {

// A NUL-terminated text: everything before the first zero byte.
std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

std::u16string_view UpToNul(std::u16string_view units) {
  return units.substr(0, units.find(u'\0'));
}

Bytes WithTerminator(const std::u16string& units) {
  return platform::Utf16ToBytes(units) + std::string(2, '\0');
}

}  // namespace

Bytes AnsiToWide(std::string_view text) {
  if (text.empty())
    return {};
  return CodePageToWide(text, platform::kCodePageGbk);
}

std::string WideToAnsi(std::string_view bytes) {
  const std::u16string units = platform::BytesToUtf16(bytes);
  const auto text = platform::EncodeCodePage(platform::kCodePageGbk, units);
  if (!text)
    return {};
  return std::string(UpToNul(*text));
}

std::string Utf8ToAnsi(std::string_view text) {
  return Utf8ToAnsi(text, {});
}

std::string Utf8ToAnsi(std::string_view text, std::stop_token stop) {
  constexpr size_t kPiece = size_t{1} << 20;
  const auto isContinuation = [&](size_t at) {
    return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  text = UpToNul(text);
  // A byte-order mark is no part of the text: kept, it would become a '?' in front of it (and a
  // JSON body sent with one would no longer parse).
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.starts_with(kBom))
    text.remove_prefix(kBom.size());
  std::string out;
  out.reserve(text.size());  // GBK never takes more bytes than UTF-8 for the same text
  size_t at = 0;
  while (at < text.size()) {
    if (stop.stop_requested())
      return {};
    size_t end = std::min(text.size(), at + kPiece);
    // A piece never ends inside a character: back to the start of the sequence being cut (a
    // longer run of continuation bytes is invalid anyway, each byte on its own).
    for (int back = 0; back < 3 && end < text.size() && end > at + 1 && isContinuation(end); ++back)
      --end;
    // Nor does one after the first start with a byte-order mark, which a decoder may drop.
    if (end < text.size() && text.substr(end, 3) == "\xEF\xBB\xBF")
      end += 3;
    // Straight to GBK: the same result as through UTF-16, without two UTF-16 copies.
    out += platform::RecodeText(text.substr(at, end - at), platform::kCodePageUtf8,
                                platform::kCodePageGbk);
    at = end;
  }
  return out;
}

Bytes CodePageToWide(std::string_view text, unsigned codePage) {
  const auto units = platform::DecodeCodePage(codePage, UpToNul(text));
  if (!units)
    return {};
  return WithTerminator(*units);
}

std::string WideToCodePage(std::string_view bytes, unsigned codePage) {
  const std::u16string units = platform::BytesToUtf16(bytes);
  const auto text = platform::EncodeCodePage(codePage, UpToNul(units));
  if (!text)
    return {};
  return *text;
}

}  // namespace korvane
