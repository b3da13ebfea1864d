// Finds the character set a web page declares in a meta tag near its start.
#pragma once

#include <string>
#include <string_view>

#include "script/regex_object.h"

namespace korvane {

// How much of a page is searched for its declared charset, in bytes.
inline constexpr size_t kCharsetHeadSize = 1024;

// The charset named by the first <meta ... charset=NAME in the first 1024 bytes of `page`
// (letters in any case), or an empty text. The search runs on `regex`.
std::string DeclaredCharset(RegexObject& regex, std::string_view page);

}  // namespace korvane
