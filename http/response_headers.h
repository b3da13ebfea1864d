// Reading a raw response header block the way both request routines do: one spelling for the
// Set-Cookie name, the block cut into lines, and the name=value pairs the response set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// `block` with every "set-cookie", in any letter case, spelled "Set-Cookie".
std::string NormaliseSetCookie(std::string block);

// The pieces of `block` ended by CR LF; an empty piece between two CR LF is a line, nothing
// after the last CR LF is.
std::vector<std::string_view> HeaderLines(std::string_view block);

// The cookie pairs of the lines holding "Set-Cookie" (exact case), joined by "; ": of a line
// with a ';', the trimmed text between "Set-Cookie:" and the next ';'; of any other line, the
// line without its "Set-Cookie:" (any case), trimmed. Attributes after the first ';' are dropped.
std::string SetCookiePairs(std::string_view block);

}  // namespace korvane
