#include "http/url_helpers.h"

#include <climits>

#include "util/gbk_text.h"
#include "util/text_between.h"

namespace korvane {
namespace {

// A-Z to a-z in single-byte characters; double-byte characters (both bytes) stay as they are.
std::string LowerAsciiLetters(std::string_view text) {
  std::string out(text);
  for (size_t at = 0; at < out.size();) {
    const size_t length = gbk::CharLength(out, at);
    if (length == 1 && out[at] >= 'A' && out[at] <= 'Z')
      out[at] = static_cast<char>(out[at] + ('a' - 'A'));
    at += length;
  }
  return out;
}

}  // namespace

std::string UrlHost(std::string_view url, bool keepPort) {
  std::string t = LowerAsciiLetters(url);
  if (t.empty() || t.back() != '/')
    t.push_back('/');
  std::string_view prefix = "https://";
  if (t.compare(0, prefix.size(), prefix) != 0) {
    prefix = "http://";
    if (gbk::Find(t, prefix) == gbk::npos)
      t.insert(0, prefix);
  }
  std::string host = TextBetween(t, prefix, "/");
  if (!keepPort) {
    const size_t colon = host.find(':');
    if (colon != std::string::npos)
      host.resize(colon);
  }
  return host;
}

int UrlPort(std::string_view url) {
  const std::string host = UrlHost(url, true);
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos) {
    long long port = 0;
    for (size_t at = colon + 1; at < host.size() && host[at] >= '0' && host[at] <= '9'; ++at) {
      port = port * 10 + (host[at] - '0');
      if (port > INT_MAX)
        return INT_MAX;
    }
    return static_cast<int>(port);
  }
  const std::string scheme = LowerAsciiLetters(url.substr(0, 5));
  return scheme == "https" ? 443 : 80;
}

std::string UrlPath(std::string_view url) {
  const std::string host = UrlHost(url);
  const size_t hostAt = gbk::Find(url, host, 0, true);
  if (hostAt == gbk::npos)
    return "/";
  const size_t slash = url.find('/', hostAt);
  if (slash == std::string_view::npos)
    return "/";
  return std::string(url.substr(slash));
}

std::string HeaderValue(std::string_view headerText) {
  const size_t colon = headerText.find(':');
  if (colon == std::string_view::npos)
    return {};
  return gbk::Trim(headerText.substr(colon + 1));
}

}  // namespace korvane
