// Text that must reach the file system exactly as the user gave it, such as the download folder:
// the program holds text as GBK, and a character GBK lacks would silently turn into '?', naming
// another folder. These tell such text apart so it can be refused with a clear message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The GBK form of UTF-16 text, or nullopt when some character (or a lone surrogate) has none.
std::optional<std::string> ExactGbkFromUtf16(std::u16string_view units);

// The GBK form of UTF-8 text, or nullopt when the bytes are not valid UTF-8 or some character has
// no GBK form.
std::optional<std::string> ExactGbkFromUtf8(std::string_view text);

}  // namespace korvane
