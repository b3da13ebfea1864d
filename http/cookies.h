// Folds the cookies a server has just set into the cookie text a caller keeps between requests:
// a cookie set anew replaces the old one of the same name, cookies the server did not mention
// stay, and cookies the server deleted (value "deleted") disappear.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Merges `newCookies` into `cookies` and returns the merged text, which `cookies` also receives.
// `newCookies` receives itself with every space removed. Entries are separated by ";" (the
// result uses "; "); ASCII and full-width spaces are removed everywhere, values included. The
// result lists the new cookies in their order, then the old ones the new text does not name, in
// theirs; an entry ending in "=deleted" is dropped, and exact repeats are kept once. Linear in the
// total length of both texts.
std::string MergeCookies(std::string& cookies, std::string& newCookies);

// The cookie name of one entry: the text before its first "=" (the whole entry without one),
// trimmed of ASCII and full-width spaces.
std::string CookieName(std::string_view entry);

// True when some entry of `list` has the cookie name `name` (compared exactly).
bool HasCookie(const std::vector<std::string>& list, std::string_view name);

// Splits `text` at every `separator`, drops each piece that occurred before, and joins the rest
// with `separator`.
std::string JoinUnique(std::string_view text, std::string_view separator);

// The 1-based position of the first entry of `list` equal to `text`, or -1.
long long IndexOfText(const std::vector<std::string>& list, std::string_view text);

// Splits `text` at every `separator`: an empty piece between two separators is an entry, nothing
// follows a final separator, and an empty text gives no entries. The separator is found only where
// a character begins. An empty separator gives the whole text as one entry.
std::vector<std::string_view> SplitList(std::string_view text, std::string_view separator);

}  // namespace korvane
