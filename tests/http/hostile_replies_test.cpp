// The request routines against servers that misbehave on purpose: replies that never end or are
// far too large, replies dripped out byte by byte, slow readers of an upload, redirects and proxy
// answers that must come back instead of being followed or failing, and header lines that the
// caller spells in ways the wire must still carry.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "http/support/loopback.h"
#include "http/support/raw_server.h"
#include "http/win_http_fetch.h"
#include "http/win_inet_fetch.h"
#include "platform/http_download.h"
#include "platform/http_transfer.h"

namespace korvane {
namespace {

using testing::LoopbackServer;
using testing::RawConnection;
using testing::RawServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kCap = 256 * 1024;

// Writes to a socket until the peer goes away or the server stops; false once it failed.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// How each kind of over-long reply is served: a body that never ends (chunked), one announced
// far beyond any cap and then streamed, one that comes without a length and only ends when the
// connection closes, and one a little over the cap with an honest length.
enum class Flood { kEndlessChunked, kAnnouncedHuge, kUntilClose, kJustOver };

std::string FloodHead(Flood flood) {
  switch (flood) {
    case Flood::kEndlessChunked:
      return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    case Flood::kAnnouncedHuge:
      return "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 2147483648\r\n\r\n";
    case Flood::kUntilClose:
      return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    case Flood::kJustOver:
      return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kCap + 1) + "\r\n\r\n";
  }
  return {};
}

// A raw server for one kind of flood; `sent` counts the body bytes that left it.
class FloodServer {
 public:
  explicit FloodServer(Flood flood)
      : server_([this, flood](RawConnection& c, RawServer& s) { Serve(flood, c, s); }) {}
  std::string Url() const { return server_.Url("/flood.png"); }
  size_t Sent() const { return sent_; }

 private:
  void Serve(Flood flood, RawConnection& c, RawServer& s) {
    c.ReadRequest();
    c.Write(FloodHead(flood));
    std::string piece(64 * 1024, 'x');
    piece.replace(0, 8, "\x89PNG\r\n\x1A\n");
    if (flood == Flood::kJustOver) {
      c.Write(std::string(kCap + 1, 'x'));
      sent_ += kCap + 1;
      return;
    }
    // Gives up once the client went away, or after 2 GiB: a client that kept reading that long
    // has already failed the test.
    for (size_t total = 0; total < (size_t{2} << 30) && !s.stopping();) {
      const std::string chunk =
          flood == Flood::kEndlessChunked ? "10000\r\n" + piece + "\r\n" : piece;
      if (!c.Write(chunk))
        return;
      sent_ += piece.size();
      total += piece.size();
    }
  }

  std::atomic<size_t> sent_{0};
  RawServer server_;
};

TEST(ReplyCaps, EveryRoutineGivesUpAReplyPastItsCapWithoutHoldingIt) {
  const platform::TransferLimits limits{.maxBodyBytes = kCap};
  for (const Flood flood :
       {Flood::kEndlessChunked, Flood::kAnnouncedHuge, Flood::kUntilClose, Flood::kJustOver}) {
    SCOPED_TRACE(static_cast<int>(flood));
    {
      FloodServer server(flood);
      std::string status = "untouched", headers = "untouched";
      Bytes bytes = "untouched";
      const std::string page = WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, headers, false, {}, {},
                                            {}, {}, {}, 0, {}, status, bytes, {}, nullptr, limits);
      EXPECT_EQ(page, "");
      EXPECT_EQ(status, kWinHttpReadFailed);
      EXPECT_EQ(headers, "untouched");  // given up whole: nothing else is written
      EXPECT_EQ(bytes, "untouched");
      // Stopped near the cap, not after gigabytes (socket buffers let a few megabytes through).
      EXPECT_LT(server.Sent(), size_t{64} << 20);
    }
    {
      FloodServer server(flood);
      std::string headers = "untouched";
      EXPECT_EQ(WinInetFetch(server.Url(), 0, {}, {}, {}, {}, headers, false, {}, {}, {}, nullptr,
                             limits),
                "");
      EXPECT_EQ(headers, "untouched");
      EXPECT_LT(server.Sent(), size_t{64} << 20);
    }
    {
      FloodServer server(flood);
      EXPECT_EQ(platform::HttpDownload(server.Url(), {}, 0, limits), "");
      EXPECT_LT(server.Sent(), size_t{64} << 20);
    }
  }

  // A reply of exactly the cap is complete, and comes back whole.
  RawServer exact(RawServer::Reply(RawServer::Response("200 OK", "", std::string(kCap, 'y'))));
  std::string status;
  EXPECT_EQ(WinHttpFetch(exact.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {},
                         status, {}, {}, nullptr, limits)
                .size(),
            kCap);
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(
      WinInetFetch(exact.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, nullptr, limits).size(),
      kCap);
  EXPECT_EQ(platform::HttpDownload(exact.Url(), {}, 0, limits).size(), kCap);
}

// Headers at once, then one byte every 100 ms for ever: never silent long enough for the idle
// timeout, so only the deadline ends it.
RawServer::Handler Drip(bool headersFirst) {
  return [headersFirst](RawConnection& c, RawServer& s) {
    c.ReadRequest();
    if (headersFirst)
      c.Write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    else
      c.Write("HTTP/1.1 200 OK\r\n");
    while (!s.stopping()) {
      std::this_thread::sleep_for(100ms);
      if (!c.Write(headersFirst ? "x" : "X-Drip: 1\r\n"))
        return;
    }
  };
}

TEST(RequestDeadline, ADripFedReplyFailsAsATimeoutWhenTheDeadlinePasses) {
  const platform::TransferLimits limits{.deadline = 1s};
  for (const bool headersFirst : {true, false}) {
    SCOPED_TRACE(headersFirst ? "dripping body" : "dripping header lines");
    RawServer server(Drip(headersFirst));
    const auto start = Clock::now();
    std::string status;
    const std::string page = WinHttpFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {},
                                          {}, {}, 5, {}, status, {}, {}, nullptr, limits);
    // As a timeout: before the headers 712, while the body is read the status line and what
    // came so far.
    if (headersFirst) {
      EXPECT_EQ(status, "200 OK");
      EXPECT_LT(page.size(), 100000u);
    } else {
      EXPECT_EQ(status, kWinHttpNoResponse);
    }
    EXPECT_EQ(WinInetFetch(server.Url(), 0, {}, {}, {}, {}, {}, false, {}, {}, {}, nullptr, limits)
                      .size() < 100000u,
              true);
    EXPECT_EQ(platform::HttpDownload(server.Url(), {}, 5, limits), "");
    // Far below the 5 s idle timeout times the 100000 drips it would otherwise take.
    EXPECT_LT(Clock::now() - start, 60s);
  }
}

// Reads an upload slowly through a small receive buffer, then answers.
class SlowReader {
 public:
  SlowReader(size_t expected, size_t piece, std::chrono::milliseconds pause) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 16 * 1024;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listenFd_, 4);
    thread_ = std::thread([this, expected, piece, pause] {
      const int fd = ::accept(listenFd_, nullptr, nullptr);
      if (fd < 0)
        return;
      std::string request;
      std::string buffer(piece, '\0');
      size_t bodyStart = std::string::npos;
      while (!stop_ && (bodyStart == std::string::npos || request.size() - bodyStart < expected)) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
          break;
        request.append(buffer.data(), static_cast<size_t>(n));
        if (bodyStart == std::string::npos && request.find("\r\n\r\n") != std::string::npos)
          bodyStart = request.find("\r\n\r\n") + 4;
        std::this_thread::sleep_for(pause);
      }
      received_ = bodyStart == std::string::npos ? 0 : request.size() - bodyStart;
      WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nuploaded");
      ::close(fd);
    });
  }
  ~SlowReader() {
    stop_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/up"; }
  size_t Received() const { return received_; }

 private:
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> received_{0};
  std::thread thread_;
};

TEST(IdleTimer, AnUploadTheServerIsStillReadingIsNotSilence) {
  // 3 MiB read at about 16 KiB per 20 ms takes several times the 1 s timeout; the server never
  // falls silent for a second, because it keeps taking bytes in (also once the whole body has
  // left the client for its socket buffers).
  constexpr size_t kBody = 3 << 20;
  SlowReader reader(kBody, 16 * 1024, 20ms);
  std::string status;
  const std::string page = WinHttpFetch(reader.Url(), 1, std::string(kBody, 'u'), {}, {}, {}, {},
                                        false, {}, {}, {}, {}, {}, 1, {}, status);
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(page, "uploaded");
  EXPECT_EQ(reader.Received(), kBody);
}

TEST(Redirects, OnlyTheFiveRedirectCodesAreFollowedAndNeverDownToPlainHttp) {
  LoopbackServer plain(false);
  plain.server().Get("/final", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("final page", "text/plain");
  });
  for (const int code : {300, 301, 302, 303, 304, 305, 306, 307, 308, 399}) {
    plain.server().Get("/r" + std::to_string(code),
                       [code](const httplib::Request&, httplib::Response& res) {
                         res.status = code;
                         res.set_header("Location", "/final");
                       });
  }
  plain.Start();
  const std::string downgrade = plain.Url("/final");
  LoopbackServer secure(true);
  secure.server().Get("/down", [downgrade](const httplib::Request&, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", downgrade);
    res.set_content("moved", "text/plain");
  });
  secure.server().Get("/same", [](const httplib::Request&, httplib::Response& res) {
    res.status = 301;
    res.set_header("Location", "/secure-final");
  });
  secure.server().Get("/secure-final", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("secure final", "text/plain");
  });
  secure.Start();

  struct Case {
    std::string url;
    std::string status;  // the status text that comes back
    std::string page;
    std::string location;  // redirectUrl, "" when none
  };
  std::vector<Case> cases;
  for (const int code : {301, 302, 303, 307, 308})
    cases.push_back({plain.Url("/r" + std::to_string(code)), "200 OK", "final page", ""});
  for (const int code : {300, 304, 305, 306, 399}) {
    const std::string path = "/r" + std::to_string(code);
    cases.push_back({plain.Url(path), std::to_string(code), "", "/final"});
  }
  cases.push_back({secure.Url("/down"), "302 Found", "", downgrade});
  cases.push_back({secure.Url("/same"), "200 OK", "secure final", ""});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string status, location, headers;
    const std::string page = WinHttpFetch(c.url, 0, {}, {}, {}, {}, headers, false, {}, {}, {}, {},
                                          {}, 0, location, status);
    EXPECT_EQ(status.substr(0, c.status.size()), c.status);
    EXPECT_EQ(page, c.page);
    EXPECT_EQ(location, c.location);

    std::string inetHeaders;
    const Bytes body =
        WinInetFetch(c.url, 0, {}, {}, {}, {}, inetHeaders, false, {}, {}, {}, nullptr);
    EXPECT_EQ(inetHeaders.substr(9, c.status.size()), c.status);
    EXPECT_EQ(body, c.page);
    if (!c.location.empty()) {
      EXPECT_NE(inetHeaders.find("Location: " + c.location + "\r\n"), std::string::npos);
    }
  }
}

TEST(Proxy, ARefusedConnectComesBackAsTheStatusLikeAPlainRequest) {
  LoopbackServer secure(true);
  secure.server().Get("/s", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("via tunnel", "text/plain");
  });
  secure.Start();
  RawServer plain(RawServer::Reply(RawServer::Response("200 OK", "", "via proxy")));
  testing::Tinyproxy guarded(secure.port(), "pu", "ppw");
  ASSERT_TRUE(guarded.running());

  std::string plainStatus, secureStatus, secureHeaders;
  WinHttpFetch(plain.Url("/g"), 0, {}, {}, {}, {}, {}, false, {}, {}, guarded.Address(), {}, {}, 0,
               {}, plainStatus);
  ASSERT_EQ(plainStatus.substr(0, 3), "407");
  const std::string page = WinHttpFetch(secure.Url("/s"), 0, {}, {}, {}, {}, secureHeaders, false,
                                        {}, {}, guarded.Address(), {}, {}, 0, {}, secureStatus);
  EXPECT_EQ(secureStatus, plainStatus);
  EXPECT_EQ(page, "");
  EXPECT_EQ(secureHeaders.substr(0, 12), "HTTP/1.0 407");

  std::string inetHeaders;
  WinInetFetch(secure.Url("/s"), 0, {}, {}, {}, {}, inetHeaders, false, {}, guarded.Address());
  EXPECT_EQ(inetHeaders.substr(9, 3), "407");

  // With the credentials the tunnel opens as before.
  EXPECT_EQ(WinHttpFetch(secure.Url("/s"), 0, {}, {}, {}, {}, {}, false, {}, {}, guarded.Address(),
                         "pu", "ppw", 0, {}, secureStatus),
            "via tunnel");
  EXPECT_EQ(secureStatus, "200 OK");
}

TEST(ConnectTimeout, OneBudgetCoversResolvingAndConnecting) {
  // A TCP peer that never answers the TLS handshake: the connection phase never completes.
  RawServer silent([](RawConnection& c, RawServer& s) { c.WaitForClose(s.stopping()); });
  const std::string url = "https://127.0.0.1:" + std::to_string(silent.port()) + "/";
  const auto start = Clock::now();
  std::string status;
  WinHttpFetch(url, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 2, {}, status);
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(status, kWinHttpSendFailed);
  // Resolve and connect timeouts of 2 s each give one budget of 2 s, not 4 s after another.
  EXPECT_GE(elapsed, 1900ms);
  EXPECT_LT(elapsed, 3500ms);
}

TEST(HeaderLines, UserAgentLinesAndEmptyValuesReachTheWire) {
  RawServer server(RawServer::Reply(RawServer::Response("200 OK", "", "ok")));
  struct Case {
    std::string extraHeaders;
    std::string expectedLine;  // must appear in the request exactly once
  };
  const Case cases[] = {
      {"user-agent: Bot/1", "user-agent: Bot/1\r\n"},
      {"X-A: 1\r\nUser-Agent: Bot/2", "User-Agent: Bot/2\r\n"},
      {"User-Agent: Bot/3\r\nX-A: 1", "User-Agent: Bot/3\r\n"},
      {"USER-AGENT: Bot/4\r\nX-A: 1", "USER-AGENT: Bot/4\r\n"},
      {"X-Empty:\r\nX-A: 1", "X-Empty:"},
      {"X-A: 1\r\nX-Blank:   ", "X-Blank:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extraHeaders);
    const size_t before = server.Requests().size();
    const Bytes body = WinInetFetch(server.Url("/inet"), 0, {}, {}, {}, c.extraHeaders);
    EXPECT_EQ(body, "ok");  // the handle was not refused
    WinHttpFetch(server.Url("/http"), 0, {}, {}, {}, c.extraHeaders);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), before + 2);
    for (size_t i = before; i < requests.size(); ++i) {
      const std::string& request = requests[i];
      const size_t at = request.find("\r\n" + c.expectedLine);
      ASSERT_NE(at, std::string::npos) << request;
      EXPECT_EQ(request.find("\r\n" + c.expectedLine, at + 1), std::string::npos) << request;
      // An agent given by the caller is the only one sent.
      if (c.expectedLine.find("Bot/") != std::string::npos) {
        EXPECT_EQ(request.find("Mozilla"), std::string::npos) << request;
      }
    }
  }
}

}  // namespace
}  // namespace korvane
