#include "util/gbk_exact.h"

#include "platform/code_page.h"

namespace korvane {

// The conversions replace what they cannot map; a text is exact when it comes back unchanged.
std::optional<std::string> ExactGbkFromUtf16(std::u16string_view units) {
  std::optional<std::string> gbk = platform::EncodeCodePage(platform::kCodePageGbk, units);
  if (!gbk)
    return std::nullopt;
  const std::optional<std::u16string> back = platform::DecodeCodePage(platform::kCodePageGbk, *gbk);
  if (!back || *back != units)
    return std::nullopt;
  return gbk;
}

std::optional<std::string> ExactGbkFromUtf8(std::string_view text) {
  // Bytes that are not UTF-8 decode to U+FFFD and would not come back as they were.
  const std::optional<std::u16string> units =
      platform::DecodeCodePage(platform::kCodePageUtf8, text);
  if (!units || platform::EncodeCodePage(platform::kCodePageUtf8, *units) != text)
    return std::nullopt;
  return ExactGbkFromUtf16(*units);
}

}  // namespace korvane
