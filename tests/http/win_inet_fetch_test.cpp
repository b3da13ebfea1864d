#include "http/win_inet_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http/support/loopback.h"
#include "http/support/raw_server.h"
#include "http/support/recording_stacks.h"
#include "http/win_http_fetch.h"
#include "platform/http_trust.h"

namespace korvane {
namespace {

using testing::LoopbackServer;
using testing::RawConnection;
using testing::RawServer;
using testing::RecordingWinInetStack;

std::string Expected(const RawServer& server, std::string_view requestLine, std::string_view block,
                     std::string_view tail = {}) {
  return std::string(requestLine) + "\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
         "\r\n" + std::string(block) + "\r\n" + std::string(tail) + "\r\n";
}

TEST(WinInetFetch, UrlAloneSendsExactlyTheDefaultBlock) {
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "body")));
  const std::string url = server.Url("/p?q=1");
  EXPECT_EQ(WinInetFetch(url), "body");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            Expected(server, "GET /p?q=1 HTTP/1.1",
                     "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
                     "Accept: */*\r\nReferer: " +
                         url +
                         "\r\nAccept-Language: zh-cn\r\n"
                         "Content-Type: application/x-www-form-urlencoded"));
}

TEST(WinInetFetch, HeaderBlockRulesMethodsAndBodies) {
  struct Case {
    int method;
    std::string extraHeaders;
    std::string postText;
    Bytes postBytes;
    std::string expectedBlockStart;  // the block after User-Agent (or the caller's UA line)
    Bytes expectedBody;
    Bytes expectedPostBytes;
  };
  const std::string ua = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n";
  const Case cases[] = {
      {1, "Content-Type: multipart/form-data; boundary=B", "--B--", "",
       ua + "Content-Type: multipart/form-data; boundary=B\r\nAccept: */*\r\nReferer: URL\r\n"
            "Accept-Language: zh-cn",
       "--B--", "--B--"},
      // a lower-case accept line does not count, nor does Accept-Language
      {0, "accept: text/html", "ignored", "",
       ua + "accept: text/html\r\nAccept: */*\r\nReferer: URL\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded",
       "", ""},
      {0, "Accept-Language: en", "", "",
       ua + "Accept-Language: en\r\nAccept: */*\r\nReferer: URL\r\n"
            "Content-Type: application/x-www-form-urlencoded",
       "", ""},
      // postBytes wins over postText
      {1, "", "text", std::string("b\0y", 3),
       ua + "Accept: */*\r\nReferer: URL\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded",
       std::string("b\0y", 3), std::string("b\0y", 3)},
      // a caller's agent is the only User-Agent line
      {7, "User-Agent: Bot/2", "", "",
       "User-Agent: Bot/2\r\nAccept: */*\r\nReferer: URL\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extraHeaders);
    RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "")));
    const std::string url = server.Url("/up");
    std::string headers = c.extraHeaders;
    Bytes postBytes = c.postBytes;
    RecordingWinInetStack stack;
    WinInetFetch(url, c.method, c.postText, {}, {}, headers, {}, false, postBytes, {}, {}, &stack);
    std::string block = c.expectedBlockStart;
    for (size_t at; (at = block.find("URL")) != std::string::npos;)
      block.replace(at, 3, url);
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string request = server.Requests()[0];
    const std::string verb = c.method == 1 ? "POST" : "GET";
    EXPECT_EQ(request.rfind(verb + " /up HTTP/1.1\r\nHost: 127.0.0.1:" +
                                std::to_string(server.port()) + "\r\n" + block + "\r\n",
                            0),
              0u)
        << request;
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), c.expectedBody);
    EXPECT_EQ(postBytes, c.expectedPostBytes);
    // the block as sent is handed back, without the agent line the stack adds
    EXPECT_EQ(headers + "\r\n",
              block.substr(block.find(c.extraHeaders.empty() ? std::string("Accept: */*")
                                                             : c.extraHeaders)) +
                  "\r\n");
  }
}

TEST(WinInetFetch, CookiesRedirectsAndResponseHeaders) {
  LoopbackServer secure(true);
  secure.server().Get("/s", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("secure", "text/plain");
  });
  secure.Start();
  RawServer server([&](RawConnection& c, RawServer& s) {
    const std::string request = c.ReadRequest();
    s.Record(request);
    if (request.rfind("GET /moved", 0) == 0) {
      c.Write(RawServer::Response("302 Found", "Location: /final\r\n", "redirect body"));
    } else if (request.rfind("GET /tohttps", 0) == 0) {
      c.Write(RawServer::Response("302 Found", "Location: " + secure.Url("/s") + "\r\n", ""));
    } else {
      c.Write(RawServer::Response(
          "200 OK", "set-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nSet-Cookie: gone=deleted\r\n",
          "final"));
    }
  });
  std::string cookies = "gone=1; z=9", returned, headers;
  EXPECT_EQ(WinInetFetch(server.Url("/moved"), 0, {}, cookies, returned, {}, headers), "final");
  EXPECT_EQ(returned, "a=1;b=2;gone=deleted");
  EXPECT_EQ(cookies, "a=1; b=2; z=9");
  EXPECT_NE(headers.find("\r\nSet-Cookie: a=1; path=/\r\n"), std::string::npos);
  EXPECT_NE(server.Requests()[0].find("\r\nCookie: gone=1; z=9\r\n"), std::string::npos);
  // cookies given: the followed request carries the caller's line again and nothing stored
  const std::string followed = server.Requests()[1];
  EXPECT_EQ(followed.rfind("GET /final HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(followed.find("\r\nCookie: gone=1; z=9\r\n"), std::string::npos);
  EXPECT_EQ(followed.find("Cookie:"), followed.rfind("Cookie:"));

  returned = "stale";
  EXPECT_EQ(WinInetFetch(server.Url("/moved"), 0, {}, {}, returned, {}, headers, true),
            "redirect body");
  EXPECT_EQ(headers.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
  EXPECT_NE(headers.find("Location: /final\r\n"), std::string::npos);
  EXPECT_EQ(returned, "");

  EXPECT_EQ(WinInetFetch(server.Url("/tohttps")), "secure");
}

TEST(WinInetFetch, OmittedCookiesUseTheSharedStore) {
  RawServer server([](RawConnection& c, RawServer& s) {
    const std::string request = c.ReadRequest();
    s.Record(request);
    const bool other = request.find(" /five ") != std::string::npos;
    c.Write(RawServer::Response(
        "200 OK", other ? "Set-Cookie: other=9; Path=/\r\n" : "Set-Cookie: shared=7; Path=/\r\n",
        ""));
  });
  WinInetFetch(server.Url("/one"));
  WinInetFetch(server.Url("/two"));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_NE(server.Requests()[1].find("\r\nCookie: shared=7\r\n"), std::string::npos);
  std::string none;
  WinInetFetch(server.Url("/three"), 0, {}, none);
  EXPECT_EQ(server.Requests()[2].find("Cookie:"), std::string::npos);

  // The store is kept when the trust setting changes (which starts a new TLS session cache),
  // and the other stack, whose cookies are always the caller's, neither sends nor keeps its
  // cookies although both stacks share one libcurl share object.
  platform::SetTrustedCaFile(platform::TrustedCaFile());
  WinInetFetch(server.Url("/four"));
  ASSERT_EQ(server.Requests().size(), 4u);
  EXPECT_NE(server.Requests()[3].find("\r\nCookie: shared=7\r\n"), std::string::npos);
  WinHttpFetch(server.Url("/five"));
  ASSERT_EQ(server.Requests().size(), 5u);
  EXPECT_EQ(server.Requests()[4].find("Cookie:"), std::string::npos);
  WinInetFetch(server.Url("/six"));
  ASSERT_EQ(server.Requests().size(), 6u);
  EXPECT_EQ(server.Requests()[5].find("other=9"), std::string::npos);
}

TEST(WinInetFetch, FailuresGiveEmptyBytesAndLeaveParametersAlone) {
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "x")));
  for (const char* failing : {"Open", "Connect", "OpenRequest"}) {
    SCOPED_TRACE(failing);
    RecordingWinInetStack stack(failing);
    std::string headers = "X-A: 1", returned = "keep", cookies = "c=1";
    Bytes post;
    EXPECT_EQ(WinInetFetch(server.Url(), 1, "t", cookies, returned, headers, {}, false, post, {},
                           {}, &stack),
              "");
    EXPECT_EQ(headers, "X-A: 1");
    EXPECT_EQ(returned, "keep");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(post, "");
    EXPECT_EQ(stack.openHandles, 0);
  }
  // line breaks never reach the wire
  std::string headers = "X-A: 1\nX-Evil: 2";
  EXPECT_EQ(WinInetFetch(server.Url(), 0, {}, {}, {}, headers), "");
  EXPECT_EQ(WinInetFetch(server.Url("/a\r\nX-Evil: 1")), "");
  std::string cookies = "a=1\r\nX-Evil: 2";
  EXPECT_EQ(WinInetFetch(server.Url(), 0, {}, cookies), "");
  EXPECT_TRUE(server.Requests().empty());
  // nobody listening: empty bytes, empty cookies
  std::string returned = "keep";
  EXPECT_EQ(WinInetFetch("http://127.0.0.1:" + std::to_string(testing::FreePort()) + "/", 0, {}, {},
                         returned),
            "");
  EXPECT_EQ(returned, "");
}

TEST(WinInetFetch, ProxyNamesAndARealProxy) {
  LoopbackServer secure(true);
  secure.server().Post("/upload", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content("got " + std::to_string(req.body.size()), "text/plain");
  });
  secure.Start();
  RawServer plain(RawServer::Reply(RawServer::Response("200 OK", "", "plain")));
  testing::Tinyproxy proxy(secure.port());
  ASSERT_TRUE(proxy.running());
  RecordingWinInetStack stack;
  EXPECT_EQ(
      WinInetFetch(plain.Url(), 0, {}, {}, {}, {}, {}, false, {}, proxy.Address(), {}, &stack),
      "plain");
  EXPECT_EQ(stack.proxyList, "http=" + proxy.Address());
  EXPECT_NE(plain.Requests()[0].find("tinyproxy"), std::string::npos);
  EXPECT_EQ(WinInetFetch(secure.Url("/upload"), 1, "12345", {}, {}, "Content-Type: text/plain", {},
                         true, {}, proxy.Address(), {}, &stack),
            "got 5");
  EXPECT_EQ(stack.proxyList, proxy.Address());
  EXPECT_NE(proxy.Log().find("CONNECT 127.0.0.1:" + std::to_string(secure.port())),
            std::string::npos);
}

TEST(WinInetFetch, StopEndsAStalledRequest) {
  RawServer stall([](RawConnection& c, RawServer& s) {
    c.ReadRequest();
    c.Write("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nhalf");
    c.WaitForClose(s.stopping());
  });
  std::stop_source source;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    source.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WinInetFetch(stall.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, source.get_token()),
            "half");
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace korvane
