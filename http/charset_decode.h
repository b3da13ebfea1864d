// Turns a response body into the program's text by the character set a page declares: the
// declared name (as a browser would accept it) is decoded with iconv and re-encoded as GBK.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The Windows code page a browser reads for a charset label a page declares, or nullopt for a
// label outside the families below. As browsers do, a label naming a national standard reads as
// the code page that extends it: GB2312, EUC-CN and x-gbk as 936 (GBK), Shift_JIS as 932, Big5
// as 950, EUC-KR and ks_c_5601-1987 as 949 (Unified Hangul Code), ISO-8859-1, latin1 and
// US-ASCII as 1252, TIS-620 as 874, ISO-8859-9 as 1254. Labels are matched ignoring ASCII case
// and surrounding white space.
std::optional<unsigned> CodePageForCharsetLabel(std::string_view label);

// The iconv name for a charset name declared in a page ("utf-8", "big5", "shift_jis",
// "iso-8859-1", "windows-1252", "GBK", ...): the code page above where the label has one, a few
// web aliases iconv lacks, and everything else passed on as written.
std::string IconvCharsetName(std::string_view declared);

// `body` decoded from `charset` and encoded as GBK; characters GBK lacks become '?', bytes that
// are not valid in the charset become '?' too. A body that starts with a UTF-8 byte-order mark is
// UTF-8 whatever it declares (as in a browser), and the mark is dropped. The text ends at its
// first NUL. nullopt when the charset is unknown.
std::optional<std::string> DecodeToGbk(std::string_view body, std::string_view charset);

}  // namespace korvane
