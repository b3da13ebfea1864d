// Turns a response body into the program's text by the character set a page declares: the
// declared name (as a browser would accept it) is decoded with iconv and re-encoded as GBK.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The iconv name for a charset name declared in a page ("utf-8", "big5", "shift_jis",
// "iso-8859-1", "windows-1252", "GBK", ...). Names are matched ignoring case; a few web aliases
// iconv lacks are mapped, everything else is passed on as written.
std::string IconvCharsetName(std::string_view declared);

// `body` decoded from `charset` and encoded as GBK; characters GBK lacks become '?', bytes that
// are not valid in the charset become '?' too. The text ends at its first NUL. nullopt when the
// charset is unknown.
std::optional<std::string> DecodeToGbk(std::string_view body, std::string_view charset);

}  // namespace korvane
