#include "app/text_bridge.h"

#include "platform/code_page.h"

namespace korvane {

QString FromGbk(std::string_view text) {
  const std::optional<std::u16string> units =
      platform::DecodeCodePage(platform::kCodePageGbk, text);
  if (!units) {
    return {};
  }
  return QString::fromUtf16(units->data(), static_cast<qsizetype>(units->size()));
}

std::string ToGbk(const QString& text) {
  const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
  return platform::EncodeCodePage(platform::kCodePageGbk, units).value_or(std::string());
}

}  // namespace korvane
