// Character-aware primitives over the program's text (GBK bytes): a double-byte character is one
// unit, so a search never matches from its second byte. Case folding touches ASCII letters only;
// trimming removes ASCII spaces and the full-width space (A1 A1) at both ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvane::gbk {

inline constexpr size_t npos = std::string_view::npos;

// True for a byte that starts a double-byte GBK character (0x81 to 0xFE).
constexpr bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// The length of the character starting at byte `pos`: 2 for a lead byte with a byte after it,
// otherwise 1 (a lone lead byte at the end of the text counts as one character).
size_t CharLength(std::string_view text, size_t pos);

// The first character boundary at or after byte `pos`, found by walking the text from its start.
// Returns text.size() when `pos` is at or past the end.
size_t BoundaryAtOrAfter(std::string_view text, size_t pos);

// Finds `needle` in `text`, trying only positions that start a character, beginning with the
// boundary `from` (which must be a character boundary; use BoundaryAtOrAfter for any other
// offset). Returns the 0-based byte offset of the match or npos. An empty needle matches at
// `from` when from < text.size(). ASCII letters compare case-insensitively when `ignoreCase`.
size_t FindFromBoundary(std::string_view text, std::string_view needle, size_t from,
                        bool ignoreCase = false);

// As above for any byte offset `from`: the search begins at the first boundary at or after it.
size_t Find(std::string_view text, std::string_view needle, size_t from = 0,
            bool ignoreCase = false);

// True when `a` and `b` are equal, ignoring the case of ASCII letters when `ignoreCase`. The
// trail byte of a double-byte character (read from `a`) always compares exactly.
bool BytesEqual(std::string_view a, std::string_view b, bool ignoreCase);

// ASCII letters A-Z to a-z; every other byte, and the trail byte of a double-byte character,
// unchanged.
std::string AsciiLower(std::string_view text);

// Removes ASCII spaces and full-width spaces (A1 A1, only where a character begins) at both ends.
std::string Trim(std::string_view text);

}  // namespace korvane::gbk
