// Conversions between the program's text (GBK, code page 936), UTF-16 bytes and UTF-8.
// None of them reports failure: a conversion that cannot be made yields an empty or shortened
// result, and characters the target lacks become '?'.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "util/bytes.h"

namespace korvane {

// GBK text to UTF-16LE bytes ending in a two-byte NUL; empty bytes for an empty text. The text
// ends at its first NUL byte, if it has one.
Bytes AnsiToWide(std::string_view text);

// UTF-16LE bytes (terminator optional, a trailing odd byte ignored) to GBK text. The result ends
// at the first zero byte of the conversion, so a NUL code unit ends the text there.
std::string WideToAnsi(std::string_view bytes);

// UTF-8 bytes held in a text to GBK text. A byte-order mark at the start is dropped.
std::string Utf8ToAnsi(std::string_view text);

// The same, converted a mebibyte at a time so that a large text is never held as UTF-16 whole,
// giving up with an empty text as soon as `stop` is requested between two pieces.
std::string Utf8ToAnsi(std::string_view text, std::stop_token stop);

// Text in `codePage` (ending at its first NUL) to UTF-16LE bytes with a two-byte NUL at the end.
// An unmapped code page gives empty bytes.
Bytes CodePageToWide(std::string_view text, unsigned codePage = platform::kCodePageUtf8);

// NUL-terminated UTF-16LE bytes to text in `codePage` (0: the system ANSI code page, GBK). The
// input ends at its first zero code unit. An unmapped code page gives an empty text.
std::string WideToCodePage(std::string_view bytes, unsigned codePage = platform::kCodePageAnsi);

}  // namespace korvane
