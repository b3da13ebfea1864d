#include "http/charset_decode.h"

#include <array>

#include "platform/code_page.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

struct Alias {
  std::string_view declared;
  std::string_view iconvName;
};

// Names pages use that iconv spells differently (compared lower-case).
constexpr std::array<Alias, 10> kAliases{{
    {"x-sjis", "SHIFT_JIS"},
    {"shift-jis", "SHIFT_JIS"},
    {"x-gbk", "GBK"},
    {"gb_2312-80", "GB2312"},
    {"x-euc-tw", "EUC-TW"},
    {"big5-hkscs", "BIG5-HKSCS"},
    {"unicode", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"x-mac-roman", "MACINTOSH"},
    {"ks_c_5601-1987", "CP949"},
}};

}  // namespace

std::string IconvCharsetName(std::string_view declared) {
  const std::string lower = gbk::AsciiLower(declared);
  for (const Alias& alias : kAliases) {
    if (lower == alias.declared)
      return std::string(alias.iconvName);
  }
  return std::string(declared);
}

std::optional<std::string> DecodeToGbk(std::string_view body, std::string_view charset) {
  if (charset.empty())
    return std::nullopt;
  const auto units = platform::DecodeCharset(IconvCharsetName(charset), body);
  if (!units)
    return std::nullopt;
  auto text = platform::EncodeCharset("CP936", *units);
  if (!text)
    return std::nullopt;
  text->resize(text->find('\0') == std::string::npos ? text->size() : text->find('\0'));
  return text;
}

}  // namespace korvane
