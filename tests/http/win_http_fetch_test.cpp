#include "http/win_http_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "http/support/loopback.h"
#include "http/support/raw_server.h"
#include "http/support/recording_stacks.h"
#include "platform/com_apartment.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

using testing::LoopbackServer;
using testing::RawConnection;
using testing::RawServer;
using testing::RecordingWinHttpStack;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kDefaultBlock =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
    "Accept: text/html, application/xhtml+xml, */*\r\n"
    "Accept-Encoding: gbk, GB2312\r\n"
    "Accept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Cache-Control: no-cache\r\n";

std::string HostLine(const RawServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n";
}

TEST(WinHttpFetch, UrlAloneSendsExactlyTheDefaultBlockAndReturnsThePage) {
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "hello")));
  std::string status;
  const std::string page = WinHttpFetch(server.Url("/api/x.json?id=12527"), 0, {}, {}, {}, {}, {},
                                        false, {}, {}, {}, {}, {}, 0, {}, status);
  EXPECT_EQ(page, "hello");
  EXPECT_EQ(status, "200 OK");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "GET /api/x.json?id=12527 HTTP/1.1\r\n" + HostLine(server) +
                                      std::string(kDefaultBlock) + "\r\n");
  EXPECT_EQ(platform::ComInitCount(), 0);
}

TEST(WinHttpFetch, DefaultHeaderProbesAndCookieLine) {
  struct Case {
    const char* extraHeaders;
    const char* cookies;  // null: omitted
    std::string expectedBlock;
  };
  const std::string ua(kDefaultBlock.substr(0, kDefaultBlock.find("Accept:")));
  const std::string rest(kDefaultBlock.substr(ua.size()));
  const std::string ct = "Content-Type: application/x-www-form-urlencoded\r\n";
  std::string noCt = rest;
  noCt.erase(noCt.find(ct), ct.size());
  const Case cases[] = {
      // a multipart Content-Type line suppresses the default one
      {"Content-Type: multipart/form-data; boundary=k", nullptr,
       "Content-Type: multipart/form-data; boundary=k\r\n" + ua + noCt},
      // the Content-Type probe is case-sensitive: both lines go out
      {"content-type: text/plain", nullptr, "content-type: text/plain\r\n" + ua + rest},
      // the other probes ignore case, and match inside another header's line
      {"user-agent: Bot/1", nullptr, "user-agent: Bot/1\r\n" + rest},
      {"X-User-Agent: y", nullptr, "X-User-Agent: y\r\n" + rest},
      // cookies given: appended after the defaults, unless a Cookie line is there already
      {"", "a=1; b=2", std::string(kDefaultBlock) + "Cookie: a=1; b=2\r\n"},
      {"cookie: z=9", "a=1", "cookie: z=9\r\n" + std::string(kDefaultBlock)},
      // given empty: no Cookie line
      {"", "", std::string(kDefaultBlock)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extraHeaders);
    RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "")));
    if (c.cookies) {
      std::string cookies = c.cookies;
      WinHttpFetch(server.Url(), 0, {}, cookies, {}, c.extraHeaders);
    } else {
      WinHttpFetch(server.Url(), 0, {}, {}, {}, c.extraHeaders);
    }
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET / HTTP/1.1\r\n" + HostLine(server) + c.expectedBlock + "\r\n");
  }
}

TEST(WinHttpFetch, MethodsBodiesAndObjectNames) {
  struct Case {
    int method;
    std::string path;
    std::string postText;
    std::string expectedStart;
    std::string expectedBody;
  };
  const Case cases[] = {
      {0, "/", "", "GET / ", ""},
      {1, "/form", "a=1&b=2", "POST /form ", "a=1&b=2"},
      {2, "/", "", "HEAD / ", ""},
      {3, "/put", std::string("x\0y", 3), "PUT /put ", std::string("x\0y", 3)},
      {7, "/", "", "GET / ", ""},
      {-1, "/", "", "GET / ", ""},
      // no path: "/" and the query is not sent
      {0, "?q=1", "", "GET / ", ""},
      {0, "", "", "GET / ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expectedStart + c.path);
    RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "")));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + c.path;
    WinHttpFetch(url, c.method, c.postText);
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string request = server.Requests()[0];
    EXPECT_EQ(request.rfind(c.expectedStart + "HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), c.expectedBody);
    if (!c.expectedBody.empty()) {
      EXPECT_NE(request.find("Content-Length: " + std::to_string(c.expectedBody.size()) + "\r\n"),
                std::string::npos);
    }
  }
}

TEST(WinHttpFetch, SetCookieLinesInEveryFormAndCookieMerging) {
  RawServer server(RawServer::Reply(RawServer::Response(
      "200 OK",
      "set-cookie: a=1; path=/\r\nSET-COOKIE: b=2\r\nSet-Cookie:   c=3 ;HttpOnly\r\n"
      "X-Note: 1\r\n",
      "ok")));
  std::string cookies = "a=0; z=9";
  std::string returned = "stale", headers;
  WinHttpFetch(server.Url(), 0, {}, cookies, returned, {}, headers);
  EXPECT_EQ(cookies, "a=1; b=2; c=3; z=9");
  EXPECT_EQ(returned, "a=1;b=2;c=3");  // the merge takes the spaces out
  EXPECT_NE(headers.find("\r\nSet-Cookie: a=1; path=/\r\n"), std::string::npos);
  EXPECT_NE(headers.find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);
  EXPECT_EQ(headers.find("set-cookie"), std::string::npos);
  EXPECT_EQ(headers.find("SET-COOKIE"), std::string::npos);
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");
  // the caller's cookie text was the only one sent
  EXPECT_NE(server.Requests()[0].find("\r\nCookie: a=0; z=9\r\n"), std::string::npos);

  // a response without cookies empties returnedCookies; omitted cookies are not merged
  RawServer plain(RawServer::Reply(RawServer::Response("200 OK", "", "")));
  returned = "stale";
  WinHttpFetch(plain.Url(), 0, {}, {}, returned);
  EXPECT_EQ(returned, "");
}

TEST(WinHttpFetch, ErrorPageZeroByteAndRawBytes) {
  RawServer server(
      RawServer::Reply(RawServer::Response("404 Not Found", "", std::string("abc\0def", 7))));
  std::string status;
  Bytes bytes;
  const std::string page = WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {},
                                        {}, 0, {}, status, bytes);
  EXPECT_EQ(status, "404 Not Found");
  EXPECT_EQ(page, "abc");
  EXPECT_EQ(bytes, std::string("abc\0def", 7));
}

TEST(WinHttpFetch, DeclaredCharsetReDecodesThePage) {
  const std::string gbk = "中文";  // the program's text
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
  const std::string big5 = "\xA4\xA4\xA4\xE5";
  const std::string sjis = "\x92\x86\x95\xB6";
  const auto html = [](std::string meta, std::string text) {
    return "<html><head>" + meta + "</head><body>" + text + "</body></html>";
  };
  struct Case {
    std::string body;
    std::string expected;
  };
  const std::string late = "<html>" + std::string(1100, ' ') + "<meta charset=\"utf-8\">" + utf8;
  const Case cases[] = {
      {html("<meta charset=\"utf-8\">", utf8), html("<meta charset=\"utf-8\">", gbk)},
      {html("<META http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", big5),
       html("<META http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", gbk)},
      {html("<meta charset=shift_jis>", sjis), html("<meta charset=shift_jis>", gbk)},
      // GBK in capitals goes through the decoder (same text), gbk/gb2312 stay as received
      {html("<meta charset=\"GBK\">", gbk), html("<meta charset=\"GBK\">", gbk)},
      {html("<meta charset=\"gbk\">", gbk), html("<meta charset=\"gbk\">", gbk)},
      {html("<meta charset=\"gb2312\">", utf8), html("<meta charset=\"gb2312\">", utf8)},
      // a name nobody knows leaves the page as received
      {html("<meta charset=\"x-nothing-known\">", utf8),
       html("<meta charset=\"x-nothing-known\">", utf8)},
      // only the first 1024 bytes are searched
      {late, late},
      // JSON without a meta tag is not converted
      {"{\"name\":\"" + utf8 + "\"}", "{\"name\":\"" + utf8 + "\"}"},
      // A2 E8 has no character in CP949, whose converter consumes it before saying so: at the
      // very end of the page, and before the closing tags, which must all be kept
      {html("<meta charset=\"ks_c_5601-1987\">", "abc") + "\xA2\xE8",
       html("<meta charset=\"ks_c_5601-1987\">", "abc") + "?"},
      {html("<meta charset=\"ks_c_5601-1987\">", "\xA2\xE8"),
       html("<meta charset=\"ks_c_5601-1987\">", "?")},
      {html("<meta charset=ISO-2022-CN-EXT>", "x") + "\x0E",
       html("<meta charset=ISO-2022-CN-EXT>", "x") + "?"},
      // a label naming GB2312 is read as GBK, so a character only GBK has survives
      {html("<meta charset=\"GB2312\">", "\x81\x40"),
       html("<meta charset=\"GB2312\">", "\x81\x40")},
      // a byte-order mark is dropped, not turned into a '?'
      {"\xEF\xBB\xBF" + html("<meta charset=\"utf-8\">", utf8),
       html("<meta charset=\"utf-8\">", gbk)},
      // a byte of 0x81 or more just before the tag does not hide it
      {"<html>\xFF<meta charset=\"utf-8\">" + utf8, "<html>?<meta charset=\"utf-8\">" + gbk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 80));
    RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", c.body)));
    Bytes bytes;
    const std::string page = WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {},
                                          {}, {}, 0, {}, {}, bytes);
    EXPECT_EQ(page, c.expected);
    EXPECT_EQ(bytes, c.body);
  }
  EXPECT_EQ(platform::ComInitCount(), 0);
}

TEST(WinHttpFetch, RedirectsFollowedOrReported) {
  LoopbackServer secure(true);
  secure.server().Get("/secure", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("secure page", "text/plain");
  });
  secure.Start();
  LoopbackServer server(false);
  auto& s = server.server();
  for (const int code : {301, 302, 307}) {
    s.Get("/r" + std::to_string(code), [code](const httplib::Request&, httplib::Response& res) {
      res.status = code;
      res.set_header("Location", "/final");
      res.set_header("Set-Cookie", "hop=1");
      res.set_content("moved", "text/plain");
    });
  }
  s.Get("/final", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Set-Cookie", "final=2; Path=/");
    res.set_content("final page", "text/plain");
  });
  s.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", "/loop");
  });
  const std::string secureUrl = secure.Url("/secure");
  s.Get("/tohttps", [secureUrl](const httplib::Request&, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", secureUrl);
  });
  server.Start();

  for (const char* path : {"/r301", "/r302", "/r307"}) {
    SCOPED_TRACE(path);
    std::string status, headers, cookies, location = "untouched";
    EXPECT_EQ(WinHttpFetch(server.Url(path), 0, {}, {}, cookies, {}, headers, false, {}, {}, {}, {},
                           {}, 0, location, status),
              "final page");
    EXPECT_EQ(status, "200 OK");
    EXPECT_EQ(cookies, "final=2");
    EXPECT_EQ(headers.find("Location"), std::string::npos);
    EXPECT_EQ(location, "untouched");

    status.clear();
    EXPECT_EQ(WinHttpFetch(server.Url(path), 0, {}, {}, cookies, {}, headers, true, {}, {}, {}, {},
                           {}, 0, location, status),
              "moved");
    EXPECT_EQ(location, "/final");
    EXPECT_EQ(status.substr(0, 3), std::string(path).substr(2));
    EXPECT_EQ(cookies, "hop=1");
  }
  std::string status;
  EXPECT_EQ(WinHttpFetch(server.Url("/loop"), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0,
                         {}, status),
            "");
  EXPECT_EQ(status, kWinHttpNoResponse);
  EXPECT_EQ(WinHttpFetch(server.Url("/tohttps")), "secure page");
}

TEST(WinHttpFetch, FailuresFromRealPeers) {
  std::string status;
  const auto fetch = [&](const std::string& url, std::string_view headers = {}, int timeout = 0) {
    status = "untouched";
    return WinHttpFetch(url, 0, {}, {}, {}, headers, {}, false, {}, {}, {}, {}, {}, timeout, {},
                        status);
  };
  EXPECT_EQ(fetch("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(status, kWinHttpBadUrl);

  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "x")));
  // line breaks and NUL never reach the wire
  EXPECT_EQ(fetch(server.Url("/a\r\nX-Evil: 1")), "");
  EXPECT_EQ(status, kWinHttpBadUrl);
  EXPECT_EQ(fetch(server.Url("/a") + std::string(1, '\0') + "b"), "");
  EXPECT_EQ(status, kWinHttpBadUrl);
  EXPECT_EQ(fetch(server.Url(), "X-A: 1\nX-Evil: 2"), "");
  EXPECT_EQ(status, kWinHttpHeadersFailed);
  EXPECT_EQ(fetch(server.Url(), "X-A: 1\r\n\r\nGET /evil HTTP/1.1"), "");
  EXPECT_EQ(status, kWinHttpHeadersFailed);
  std::string badCookies = "a=1\r\nX-Evil: 2";
  status.clear();
  WinHttpFetch(server.Url(), 0, {}, badCookies, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {},
               status);
  EXPECT_EQ(status, kWinHttpHeadersFailed);
  EXPECT_TRUE(server.Requests().empty());

  EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(testing::FreePort()) + "/"), "");
  EXPECT_EQ(status, kWinHttpSendFailed);

  RawServer garbage([](RawConnection& c, RawServer&) {
    c.ReadRequest();
    c.Write("this is not HTTP at all\r\n\r\n");
  });
  EXPECT_EQ(fetch(garbage.Url()), "");
  EXPECT_EQ(status, kWinHttpNoResponse);

  RawServer stall([](RawConnection& c, RawServer& s) {
    c.ReadRequest();
    c.WaitForClose(s.stopping());
  });
  const auto start = Clock::now();
  EXPECT_EQ(fetch(stall.Url(), {}, 1), "");
  const auto took = Clock::now() - start;
  EXPECT_EQ(status, kWinHttpNoResponse);
  // The one-second timeout ended the wait: not sooner, and far sooner than the 30 s default,
  // with room for a loaded machine.
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(15));

  RawServer cut([](RawConnection& c, RawServer&) {
    c.ReadRequest();
    c.Write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
  });
  // the status line replaces the 713 text whenever the headers can be read
  EXPECT_EQ(fetch(cut.Url()), "partial");
  EXPECT_EQ(status, "200 OK");
  testing::RecordingWinHttpStack noHeaders("QueryRawHeaders");
  status.clear();
  EXPECT_EQ(WinHttpFetch(cut.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {}, status,
                         {}, {}, &noHeaders),
            "");
  EXPECT_EQ(status, kWinHttpReadFailed);
}

TEST(WinHttpFetch, FailuresInjectedThroughTheStack) {
  struct Case {
    const char* failing;
    std::string_view expected;
  };
  const Case cases[] = {
      {"CheckPlatform", kWinHttpUnsupported},
      {"CrackUrl", kWinHttpBadUrl},
      {"Open", kWinHttpSessionFailed},
      {"Connect", kWinHttpConnectFailed},
      {"OpenRequest", kWinHttpRequestFailed},
      {"SetTimeouts", kWinHttpTimeoutsFailed},
      {"SetCredentials:server", kWinHttpCredentialsFailed},
      {"SetCredentials:proxy", kWinHttpCredentialsFailed},
      {"SetOption:cookies", kWinHttpCookiesFailed},
      {"SetOption:redirects", kWinHttpRedirectFailed},
      {"AddRequestHeaders", kWinHttpHeadersFailed},
      {"SendRequest", kWinHttpSendFailed},
      {"ReceiveResponse", kWinHttpNoResponse},
  };
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "Set-Cookie: a=1\r\n", "x")));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    RecordingWinHttpStack stack(c.failing);
    std::string status, headers = "keep", cookies = "keep";
    Bytes bytes = "keep";
    EXPECT_EQ(WinHttpFetch(server.Url(), 0, {}, {}, cookies, {}, headers, true, "u", "p", {}, "pu",
                           "pp", 0, {}, status, bytes, {}, &stack),
              "");
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(headers, "keep");
    EXPECT_EQ(cookies, "keep");
    EXPECT_EQ(bytes, "keep");
    EXPECT_EQ(stack.openHandles, 0);
    EXPECT_EQ(std::count(stack.calls.begin(), stack.calls.end(), "Close") +
                  std::count(stack.calls.begin(), stack.calls.end(), "CloseNone"),
              3);
  }
  EXPECT_EQ(platform::ComInitCount(), 0);

  // A failing read keeps what was read; a failing header query gives nothing back.
  RawServer big([](RawConnection& c, RawServer&) {
    c.ReadRequest();
    c.Write("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n" + std::string(1000, 'b'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    c.Write(std::string(299000, 'b'));
  });
  RecordingWinHttpStack reads("ReadData");
  std::string status;
  Bytes bytes;
  const std::string page = WinHttpFetch(big.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {},
                                        0, {}, status, bytes, {}, &reads);
  EXPECT_EQ(status, "200 OK");  // the status line replaces the 713 text
  EXPECT_FALSE(page.empty());
  EXPECT_LT(page.size(), 300000u);
  EXPECT_EQ(bytes, page);

  RecordingWinHttpStack headers("QueryRawHeaders");
  status.clear();
  bytes = "keep";
  EXPECT_EQ(WinHttpFetch(big.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {}, status,
                         bytes, {}, &headers),
            "");
  EXPECT_EQ(status, "");
  EXPECT_EQ(bytes, "keep");
}

TEST(WinHttpFetch, TimeoutsCredentialsAndProxyNames) {
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "")));
  struct Case {
    int seconds;
    int expectedMs;
  };
  for (const Case c : {Case{5, 5000}, Case{0, 30000}, Case{-3, 30000}, Case{2147483, 2147483000},
                       Case{2147484, 2147483647}}) {
    RecordingWinHttpStack stack;
    WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, c.seconds, {}, {},
                 {}, {}, &stack);
    EXPECT_EQ(stack.timeouts, std::vector<int>(4, c.expectedMs));
  }
  RecordingWinHttpStack stack;
  WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, "user", {}, {}, {}, "pw", 0, {}, {}, {},
               {}, &stack);
  EXPECT_TRUE(stack.credentials.empty());
  EXPECT_EQ(stack.proxyList, "");
  WinHttpFetch("http://127.0.0.1:1/", 0, {}, {}, {}, {}, {}, false, {}, {}, "10.0.0.1:8", {}, {}, 1,
               {}, {}, {}, {}, &stack);
  EXPECT_EQ(stack.proxyList, "http=10.0.0.1:8");
  WinHttpFetch("https://127.0.0.1:1/", 0, {}, {}, {}, {}, {}, false, {}, {}, "10.0.0.1:8", {}, {},
               1, {}, {}, {}, {}, &stack);
  EXPECT_EQ(stack.proxyList, "10.0.0.1:8");
}

TEST(WinHttpFetch, BasicAuthHttpsAndLargeBody) {
  LoopbackServer server(true);
  server.server().Get("/auth", [](const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Authorization") == "Basic dXNlcjpwYXNz") {
      res.set_content("welcome", "text/plain");
    } else {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"k\"");
    }
  });
  const std::string big(50 * 1024 * 1024, 'z');
  server.server().Get("/big", [&big](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "application/octet-stream");
  });
  server.Start();
  std::string status;
  EXPECT_EQ(WinHttpFetch(server.Url("/auth"), 0, {}, {}, {}, {}, {}, false, "user", "pass", {}, {},
                         {}, 0, {}, status),
            "welcome");
  EXPECT_EQ(status, "200 OK");
  WinHttpFetch(server.Url("/auth"), 0, {}, {}, {}, {}, {}, false, "user", {}, {}, {}, {}, 0, {},
               status);
  EXPECT_EQ(status, "401 Unauthorized");
  Bytes bytes;
  EXPECT_EQ(WinHttpFetch(server.Url("/big"), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0,
                         {}, {}, bytes)
                .size(),
            big.size());
  EXPECT_TRUE(bytes == big);
}

TEST(WinHttpFetch, ThroughARealForwardProxy) {
  LoopbackServer secure(true);
  secure.server().Get("/s", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("via tunnel", "text/plain");
  });
  secure.Start();
  RawServer plain(RawServer::Reply(RawServer::Response("200 OK", "", "via proxy")));
  testing::Tinyproxy proxy(secure.port());
  ASSERT_TRUE(proxy.running());
  EXPECT_EQ(WinHttpFetch(plain.Url("/p"), 0, {}, {}, {}, {}, {}, false, {}, {}, proxy.Address()),
            "via proxy");
  ASSERT_EQ(plain.Requests().size(), 1u);
  EXPECT_NE(plain.Requests()[0].find("tinyproxy"), std::string::npos);  // its Via line
  EXPECT_EQ(WinHttpFetch(secure.Url("/s"), 0, {}, {}, {}, {}, {}, false, {}, {}, proxy.Address()),
            "via tunnel");
  EXPECT_NE(proxy.Log().find("CONNECT 127.0.0.1:" + std::to_string(secure.port())),
            std::string::npos);

  testing::Tinyproxy guarded(secure.port(), "pu", "ppw");
  ASSERT_TRUE(guarded.running());
  std::string status;
  WinHttpFetch(plain.Url("/g"), 0, {}, {}, {}, {}, {}, false, {}, {}, guarded.Address(), {}, {}, 0,
               {}, status);
  EXPECT_EQ(status.substr(0, 3), "407");
  EXPECT_EQ(WinHttpFetch(plain.Url("/g"), 0, {}, {}, {}, {}, {}, false, {}, {}, guarded.Address(),
                         "pu", "ppw", 0, {}, status),
            "via proxy");
  EXPECT_EQ(status, "200 OK");
}

TEST(WinHttpFetch, StopEndsAStalledRequestAtOnce) {
  RawServer stall([](RawConnection& c, RawServer& s) {
    c.ReadRequest();
    c.WaitForClose(s.stopping());
  });
  std::stop_source source;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    source.request_stop();
  });
  std::string status;
  const auto start = Clock::now();
  EXPECT_EQ(WinHttpFetch(stall.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 30, {},
                         status, {}, source.get_token()),
            "");
  const auto elapsed = Clock::now() - start;
  stopper.join();
  EXPECT_EQ(status, kWinHttpNoResponse);
  EXPECT_LT(elapsed, std::chrono::seconds(5));  // far below the 30 s timeout

  // a stop requested before the call sends nothing
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "x")));
  WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {}, status, {},
               source.get_token());
  EXPECT_EQ(status, kWinHttpNoResponse);
  EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// The header block as built by searching the whole block as it grows, for comparison with the
// routine, which searches only the caller's lines.
std::string ReferenceHeaderBlock(std::string_view extraHeaders, std::string_view cookies) {
  const std::pair<std::string_view, bool> probes[] = {
      {"User-Agent: ", true},      {"Accept: ", true},       {"Accept-Encoding: ", true},
      {"Accept-Language: ", true}, {"Content-Type:", false}, {"Cache-Control: ", true}};
  const std::string defaults = BuildWinHttpHeaderBlock("", "");
  std::string block;
  if (!extraHeaders.empty())
    block = std::string(extraHeaders) + "\r\n";
  size_t lineStart = 0;
  for (const auto& [probe, ignoreCase] : probes) {
    const size_t lineEnd = defaults.find("\r\n", lineStart) + 2;
    if (gbk::Find(block, probe, 0, ignoreCase) == gbk::npos)
      block += defaults.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd;
  }
  if (gbk::Find(block, "Cookie: ", 0, true) == gbk::npos && !cookies.empty())
    block += "Cookie: " + std::string(cookies) + "\r\n";
  return block;
}

// Caller lines made of header names in any case, GBK characters (one with the trail byte 'A'),
// lone lead bytes (also last) and line breaks.
TEST(WinHttpFetch, HeaderBlockAgreesWithSearchingTheWholeBlock) {
  const std::string pieces[] = {"User-Agent: ",
                                "accept: ",
                                "ACCEPT-ENCODING: ",
                                "Accept-",
                                "Language: ",
                                "Content-Type:",
                                "content-type:",
                                "Cache-Control: ",
                                "cookie: ",
                                "Cookie",
                                "\xB0\x41",
                                "\xB0",
                                "\x81",
                                "\xD6\xD0",
                                "\r\n",
                                "X: 1",
                                " ",
                                ": "};
  std::mt19937 random(3);
  for (int round = 0; round < 3000; ++round) {
    std::string extra;
    const int count = static_cast<int>(random() % 7);
    for (int i = 0; i < count; ++i)
      extra += pieces[random() % std::size(pieces)];
    const std::string cookies = random() % 2 ? "a=1" : "";
    ASSERT_EQ(BuildWinHttpHeaderBlock(extra, cookies), ReferenceHeaderBlock(extra, cookies))
        << ::testing::PrintToString(extra);
  }
}

}  // namespace
}  // namespace korvane
