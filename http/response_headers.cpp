#include "http/response_headers.h"

#include "util/gbk_text.h"
#include "util/text_between.h"

namespace korvane {
namespace {

std::string RemoveAllNoCase(std::string text, std::string_view what) {
  size_t pos = gbk::Find(text, what, 0, true);
  while (pos != gbk::npos) {
    text.erase(pos, what.size());
    pos = gbk::Find(text, what, pos, true);
  }
  return text;
}

}  // namespace

std::string NormaliseSetCookie(std::string block) {
  constexpr std::string_view kName = "Set-Cookie";
  size_t pos = gbk::Find(block, kName, 0, true);
  while (pos != gbk::npos) {
    block.replace(pos, kName.size(), kName);
    pos = gbk::Find(block, kName, pos + kName.size(), true);
  }
  return block;
}

std::vector<std::string_view> HeaderLines(std::string_view block) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  for (size_t end = block.find("\r\n"); end != std::string_view::npos;
       end = block.find("\r\n", pos)) {
    lines.push_back(block.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::string SetCookiePairs(std::string_view block) {
  std::string pairs;
  for (const std::string_view line : HeaderLines(block)) {
    if (gbk::Find(line, "Set-Cookie") == gbk::npos)
      continue;
    const std::string value = line.find(';') != std::string_view::npos
                                  ? TextBetween(line, "Set-Cookie:", ";")
                                  : RemoveAllNoCase(std::string(line), "Set-Cookie:");
    pairs += gbk::Trim(value);
    pairs += "; ";
  }
  if (pairs.size() >= 2)
    pairs.resize(pairs.size() - 2);
  return pairs;
}

}  // namespace korvane
