// Applies up to five search-and-replace pairs to a text, one after the other, with one shared set
// of options: where replacing begins, how many replacements each pair may make, and letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Returns `text` after five replacement passes, pair 1 first; each pass works on the result of
// the one before, so a later pair also sees what an earlier one put in. A pass with an empty
// search text changes nothing.
//
// - count: the most replacements each pair makes; nullopt or a negative value means no limit,
//   0 allows none.
// - start: the 1-based byte position where replacing begins (0 or less counts as 1). A start
//   past the end leaves the text as it is; a start on the second byte of a double-byte character
//   begins at the character after it.
// - caseSensitive: false makes ASCII letters match regardless of case; the bytes of double-byte
//   characters are always compared exactly.
//
// Matches begin and end only where a character begins (a double-byte character is never split),
// do not overlap, and replaced text is not searched again within the same pass. Cost is linear
// in the length of the text and the search texts.
std::string ReplaceBatch(std::string_view text, std::optional<long long> count, long long start,
                         bool caseSensitive, std::string_view find1, std::string_view replacement1,
                         std::string_view find2 = {}, std::string_view replacement2 = {},
                         std::string_view find3 = {}, std::string_view replacement3 = {},
                         std::string_view find4 = {}, std::string_view replacement4 = {},
                         std::string_view find5 = {}, std::string_view replacement5 = {});

}  // namespace korvane
