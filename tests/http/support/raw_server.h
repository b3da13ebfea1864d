// A loopback HTTP server on plain sockets for the request tests: it records every request
// byte for byte (request line, header lines in the order and spelling they arrived, body) and
// answers with whatever bytes a test scripts, including broken, stalled or non-HTTP replies.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::testing {

class RawConnection {
 public:
  explicit RawConnection(int fd) : fd_(fd) {}
  // Reads one request: everything up to the empty line, then Content-Length bytes of body.
  // Returns the raw bytes; empty when the peer closed first.
  std::string ReadRequest();
  // False once the peer is gone (so an endless writer knows when to stop).
  bool Write(std::string_view bytes);
  // Waits until the peer closes the connection or `stop` is set (polling every 10 ms).
  void WaitForClose(const std::atomic<bool>& stop);

 private:
  int fd_;
  std::string buffered_;
};

class RawServer {
 public:
  // `handler` runs on its own thread for each accepted connection; the socket is closed when it
  // returns.
  using Handler = std::function<void(RawConnection&, RawServer&)>;
  explicit RawServer(Handler handler);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::string Url(std::string_view path = "/") const;

  // Every request read by a handler through Record, in order.
  void Record(const std::string& request);
  std::vector<std::string> Requests();
  const std::atomic<bool>& stopping() const { return stopping_; }

  // A handler that reads the request and answers `response`.
  static Handler Reply(std::string response);
  // A complete response with the given status line tail, extra header lines (each ending in
  // CR LF) and body, with a Content-Length.
  static std::string Response(std::string_view status, std::string_view headers,
                              std::string_view body);

 private:
  void AcceptLoop();

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<int> openFds_;
  std::vector<std::string> requests_;
};

}  // namespace korvane::testing
