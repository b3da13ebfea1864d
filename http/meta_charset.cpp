#include "http/meta_charset.h"

#include "util/gbk_text.h"

namespace korvane {

std::string DeclaredCharset(RegexObject& regex, std::string_view page) {
  const std::string_view head = page.substr(0, kCharsetHeadSize);
  // The pattern begins with a literal "<meta": without one the search cannot match, and most
  // pages fetched (JSON) have none, so the engine is not started for them.
  if (gbk::Find(head, "<meta", 0, true) == gbk::npos)
    return {};
  if (!regex.Search("<meta.+?charset=[^\\w]?([-\\w]+)", head))
    return {};
  return regex.SubMatchText(1, 1);
}

}  // namespace korvane
