#include "http/charset_decode.h"

#include <array>

#include "platform/code_page.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

struct LabelCodePage {
  std::string_view label;
  unsigned codePage;
};

// Labels of the web's legacy encodings and the code page a browser decodes them with (compared
// lower-case). A page that says GB2312 is nearly always GBK, one that says EUC-KR is Unified
// Hangul Code, one that says ISO-8859-1 is windows-1252: decoding with the narrower table would
// turn the characters only the wider one has into '?'.
constexpr std::array<LabelCodePage, 66> kLabels{{
    {"chinese", 936},
    {"cp936", 936},
    {"csgb2312", 936},
    {"csiso58gb231280", 936},
    {"euc-cn", 936},
    {"gb2312", 936},
    {"gb_2312", 936},
    {"gb_2312-80", 936},
    {"gbk", 936},
    {"iso-ir-58", 936},
    {"ms936", 936},
    {"windows-936", 936},
    {"x-euc-cn", 936},
    {"x-gbk", 936},
    {"gb18030", 54936},
    {"big5", 950},
    {"cn-big5", 950},
    {"cp950", 950},
    {"csbig5", 950},
    {"windows-950", 950},
    {"x-x-big5", 950},
    {"cp932", 932},
    {"csshiftjis", 932},
    {"ms932", 932},
    {"ms_kanji", 932},
    {"shift-jis", 932},
    {"shift_jis", 932},
    {"sjis", 932},
    {"windows-31j", 932},
    {"x-sjis", 932},
    {"cp949", 949},
    {"cseuckr", 949},
    {"csksc56011987", 949},
    {"euc-kr", 949},
    {"iso-ir-149", 949},
    {"korean", 949},
    {"ks_c_5601-1987", 949},
    {"ks_c_5601-1989", 949},
    {"ksc5601", 949},
    {"ksc_5601", 949},
    {"uhc", 949},
    {"windows-949", 949},
    {"ascii", 1252},
    {"cp1252", 1252},
    {"cp819", 1252},
    {"csisolatin1", 1252},
    {"ibm819", 1252},
    {"iso-8859-1", 1252},
    {"iso-ir-100", 1252},
    {"iso8859-1", 1252},
    {"iso88591", 1252},
    {"iso_8859-1", 1252},
    {"l1", 1252},
    {"latin1", 1252},
    {"us-ascii", 1252},
    {"windows-1252", 1252},
    {"x-cp1252", 1252},
    {"dos-874", 874},
    {"iso-8859-11", 874},
    {"tis-620", 874},
    {"windows-874", 874},
    {"iso-8859-9", 1254},
    {"iso8859-9", 1254},
    {"l5", 1254},
    {"latin5", 1254},
    {"windows-1254", 1254},
}};

struct Alias {
  std::string_view declared;
  std::string_view iconvName;
};

// Other names pages use that iconv spells differently (compared lower-case).
constexpr std::array<Alias, 6> kAliases{{
    {"x-euc-tw", "EUC-TW"},
    {"big5-hkscs", "BIG5-HKSCS"},
    {"unicode", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"x-mac-roman", "MACINTOSH"},
    {"unicode-1-1-utf-8", "UTF-8"},
}};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimAsciiSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\n\f\r";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

std::optional<unsigned> CodePageForCharsetLabel(std::string_view label) {
  const std::string lower = gbk::AsciiLower(TrimAsciiSpace(label));
  for (const LabelCodePage& entry : kLabels) {
    if (lower == entry.label)
      return entry.codePage;
  }
  return std::nullopt;
}

std::string IconvCharsetName(std::string_view declared) {
  if (const auto codePage = CodePageForCharsetLabel(declared))
    return platform::CharsetForCodePage(*codePage);
  const std::string lower = gbk::AsciiLower(TrimAsciiSpace(declared));
  for (const Alias& alias : kAliases) {
    if (lower == alias.declared)
      return std::string(alias.iconvName);
  }
  return std::string(declared);
}

std::optional<std::string> DecodeToGbk(std::string_view body, std::string_view charset) {
  if (charset.empty())
    return std::nullopt;
  std::string iconvName;
  if (body.starts_with(kUtf8Bom)) {
    body.remove_prefix(kUtf8Bom.size());
    iconvName = "UTF-8";
  } else {
    iconvName = IconvCharsetName(charset);
  }
  if (gbk::AsciiLower(iconvName) == "utf-8") {
    // Straight to GBK, as UTF-8 and code page 936 are both stateless: the text up to the first
    // NUL converts to what the whole body would up to its first NUL.
    return platform::RecodeText(body.substr(0, body.find('\0')), platform::kCodePageUtf8,
                                platform::kCodePageGbk);
  }
  const auto units = platform::DecodeCharset(iconvName, body);
  if (!units)
    return std::nullopt;
  auto text = platform::EncodeCodePage(platform::kCodePageGbk, *units);
  if (!text)
    return std::nullopt;
  text->resize(text->find('\0') == std::string::npos ? text->size() : text->find('\0'));
  return text;
}

}  // namespace korvane
