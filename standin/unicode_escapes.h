// Writes text as JSON \uXXXX escapes, the way some services send their replies: the stand-in's
// "u-escapes" mode uses it so the tool's escape decoding meets real escaped replies.
#pragma once

#include <string>
#include <string_view>

namespace korvane::standin {

// Every non-ASCII character of UTF-8 text as \uXXXX (a surrogate pair above U+FFFF); ASCII is
// kept. Applied to a JSON text this keeps it valid JSON with the same meaning. A byte that is
// not part of valid UTF-8 becomes U+FFFD.
std::string EscapeNonAscii(std::string_view utf8);

// Every byte of ASCII text as \u00XX, for spelling a member name in escapes.
std::string EscapeEveryCharacter(std::string_view ascii);

}  // namespace korvane::standin
