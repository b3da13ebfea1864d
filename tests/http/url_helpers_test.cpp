#include "http/url_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

TEST(UrlHelpers, Table) {
  struct Case {
    std::string url, host, hostWithPort;
    int port;
    std::string path;
  };
  const Case cases[] = {
      {"HTTP://Example.COM:8080/Some/Path?Q=Upper", "example.com", "example.com:8080", 8080,
       "/Some/Path?Q=Upper"},
      {"HTTPS://Example.com", "example.com", "example.com", 443, "/"},
      {"https://a.b/x", "a.b", "a.b", 443, "/x"},
      {"https://a.b:80/x", "a.b", "a.b:80", 80, "/x"},  // a written port wins over the scheme
      {"http://a.b:443", "a.b", "a.b:443", 443, "/"},
      {"example.com/p", "example.com", "example.com", 80, "/p"},  // no scheme: http assumed
      {"Example.com:81", "example.com", "example.com:81", 81, "/"},
      // The query belongs to the host when no "/" comes before it.
      {"http://a.b?x=1", "a.b?x=1", "a.b?x=1", 80, "/"},
      // An inner "http://" means no prefix is added; the host follows it.
      {"go http://in.side/p", "in.side", "in.side", 80, "/p"},
      {"", "", "", 80, "/"},
      {"http://a.b:/p", "a.b", "a.b:", 0, "/p"},         // ":" without digits
      {"http://a.b:12x/p", "a.b", "a.b:12x", 12, "/p"},  // leading digits only
      {"http://a.b:99999999999999999999/", "a.b", "a.b:99999999999999999999", 2147483647, "/"},
      {"http://u:p@h:9/", "u", "u:p@h:9", 9, "/"},        // the last ":" of the host gives the port
      {"httpsx://a/b", "httpsx", "httpsx:", 0, "//a/b"},  // not a scheme this knows
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlHost(c.url, true), c.hostWithPort) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

TEST(UrlHelpers, DoubleByteHostsKeepTheirCharacters) {
  // "\xB0\x41" is one character whose second byte is 'A': lowering must leave it alone, or it
  // would become the different character "\xB0\x61".
  EXPECT_EQ(UrlHost("http://X\xB0\x41.cn/P"), "x\xB0\x41.cn");
  EXPECT_EQ(UrlPath("http://X\xB0\x41.cn/P"), "/P");
  // The host is only found where a character begins: here "a" first occurs as the second byte of
  // "\xB0\x61", which the search steps over.
  EXPECT_EQ(UrlPath("\xB0\x61/x http://a/p"), "/p");
}

TEST(HeaderValue, Table) {
  EXPECT_EQ(HeaderValue("User-Agent:  Korvane/1.0 "), "Korvane/1.0");
  EXPECT_EQ(HeaderValue("X:\xA1\xA1值\xA1\xA1"), "值");
  EXPECT_EQ(HeaderValue("no colon here"), "");
  EXPECT_EQ(HeaderValue(""), "");
  EXPECT_EQ(HeaderValue("A: 1\r\nB: 2"), "1\r\nB: 2");  // the later lines come along
  EXPECT_EQ(HeaderValue("Host: a:80"), "a:80");
}

}  // namespace
}  // namespace korvane
