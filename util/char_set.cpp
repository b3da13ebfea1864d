#include "util/char_set.h"

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
  // A byte-order mark is no part of the text: kept, it would become a '?' in front of it (and a
  // JSON body sent with one would no longer parse).
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.starts_with(kBom))
    text.remove_prefix(kBom.size());
  // Straight to GBK: the same result as through UTF-16 (the text ends at its first NUL), without
  // the two UTF-16 copies of the whole text.
  return platform::RecodeText(UpToNul(text), platform::kCodePageUtf8, platform::kCodePageGbk);
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
