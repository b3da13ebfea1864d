#include "http/meta_charset.h"

namespace korvane {

std::string DeclaredCharset(RegexObject& regex, std::string_view page) {
  const std::string_view head = page.substr(0, kCharsetHeadSize);
  if (!regex.Search("<meta.+?charset=[^\\w]?([-\\w]+)", head))
    return {};
  return regex.SubMatchText(1, 1);
}

}  // namespace korvane
