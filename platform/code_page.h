// Conversions between byte text in a named character set (or a Windows code-page number) and
// UTF-16 code units, on iconv. This is the one place that knows how a code-page number maps to a
// character set; everything above it speaks code-page numbers or charset names. Each thread opens
// a converter once and keeps it for its later conversions between the same two charsets.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane::platform {

inline constexpr unsigned kCodePageAnsi = 0;  // the system ANSI code page: GBK for this tool
inline constexpr unsigned kCodePageGbk = 936;
inline constexpr unsigned kCodePageUtf8 = 65001;

// The iconv name for a Windows code-page number, or an empty text when the number is not mapped.
// 0 (the system ANSI code page) maps to CP936.
std::string CharsetForCodePage(unsigned codePage);

// Decodes bytes in `charset` into UTF-16 code units. An invalid or truncated sequence becomes one
// U+FFFD per byte that could not start a character, and decoding goes on after it; no byte after
// it is lost, whichever converter runs (a converter that consumes a bad sequence before reporting
// it gives one U+FFFD for what it consumed). A NUL byte decodes to a zero code unit like any
// other character. Returns nullopt when iconv does not know the charset.
//
// Code page 936 (CP936, GBK) is read as Windows reads it: a lead byte (81-FE) with a
// trail byte (40-7E, 80-FE) is always one character. The pairs GBK leaves empty are private-use
// characters: the user-defined areas AAA1-AFFE to U+E000-U+E233, F8A1-FEFE to U+E234-U+E4C5 and
// A140-A7A0 to U+E4C6-U+E765, and the remaining empty pairs, in code order, to U+E766-U+E864.
std::optional<std::u16string> DecodeCharset(std::string_view charset, std::string_view bytes);

// Encodes UTF-16 code units into `charset`. A character the charset lacks, and a lone surrogate,
// becomes the default character ('?', as the charset writes it). Into code page 936 the
// private-use characters above become their pairs again. Returns nullopt when iconv does not know
// the charset.
std::optional<std::string> EncodeCharset(std::string_view charset, std::u16string_view units);

// The same two conversions addressed by code-page number; nullopt for a number that is not mapped.
std::optional<std::u16string> DecodeCodePage(unsigned codePage, std::string_view bytes);
std::optional<std::string> EncodeCodePage(unsigned codePage, std::u16string_view units);

// Text in code page `from` re-encoded into code page `to`, with the replacements above; empty when
// either code page is not mapped. UTF-8 goes to code page 936 in one step, and ASCII text between
// UTF-8 and GBK is taken as it is; the result is the same as through UTF-16.
std::string RecodeText(std::string_view text, unsigned from, unsigned to);

// The program's text (GBK) as UTF-8 for file names, consoles and files, and back.
inline std::string GbkToUtf8(std::string_view text) {
  return RecodeText(text, kCodePageGbk, kCodePageUtf8);
}
inline std::string Utf8ToGbk(std::string_view text) {
  return RecodeText(text, kCodePageUtf8, kCodePageGbk);
}

// UTF-16 code units as little-endian bytes, and back (a trailing odd byte is dropped).
std::string Utf16ToBytes(std::u16string_view units);
std::u16string BytesToUtf16(std::string_view bytes);

}  // namespace korvane::platform
