// Decoding of JavaScript-style escapes ("\u" or "%u" with four hexadecimal digits, "%" with two)
// in the program's text, as the conversion service's status replies carry them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/script_host.h"

namespace korvane {

// Decodes `escapedText` with the script engine's unescape, run in a fresh engine; falls back to
// PercentDecode when the script yields an empty text (no engine, a text that breaks the script
// literal, an empty input). CR LF line breaks and single quotes survive the trip. `factory`
// makes the engine for the call.
std::string UnescapeText(std::string_view escapedText, const platform::ScriptHostFactory& factory =
                                                           platform::DefaultScriptHostFactory());

// The program's own decoder: "%u" with four hexadecimal digits gives that UTF-16 character, "%"
// with two gives the character of that code (0 to 255), each as GBK text; any other "%" stays as
// written, and so does every other byte.
std::string PercentDecode(std::string_view escapedText);

// The number the hexadecimal digits write (either case); 0 for an empty text, -1 when a
// character is not a hexadecimal digit. More than 16 digits wrap around.
int64_t HexValue(std::string_view digits);

}  // namespace korvane
