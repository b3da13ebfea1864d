// Loopback fixtures of the request tests: an HTTP and an HTTPS server on cpp-httplib (the HTTPS
// one with a certificate from a CA made for this run, which the client is told to trust), and a
// real forward proxy (tinyproxy) started on a free port with its own configuration.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace korvane::testing {

// A directory under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The run's TLS files: CA certificate, server certificate and key. The first call makes them and
// makes the CA trusted by both request stacks.
struct TlsFiles {
  std::string caFile, certFile, keyFile;
};
const TlsFiles& RunTlsFiles();

// A cpp-httplib server (plain or TLS) on 127.0.0.1 and a free port, serving on a thread until
// it is destroyed. Register handlers on server() before Start().
class LoopbackServer {
 public:
  explicit LoopbackServer(bool tls);
  ~LoopbackServer();
  httplib::Server& server() { return *server_; }
  void Start();
  int port() const { return port_; }
  std::string Url(std::string_view path = "/") const;

 private:
  bool tls_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

// tinyproxy on a free loopback port, allowing 127.0.0.1 and CONNECT to `connectPort`; with a
// user and password it demands Basic proxy credentials.
class Tinyproxy {
 public:
  explicit Tinyproxy(int connectPort, std::string user = {}, std::string password = {});
  ~Tinyproxy();
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;
  bool running() const { return pid_ > 0 && port_ > 0; }
  // "127.0.0.1:port"
  std::string Address() const;
  std::string Log() const;

 private:
  TempDir dir_;
  int pid_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 nothing listens on at the moment of the call.
int FreePort();

}  // namespace korvane::testing
