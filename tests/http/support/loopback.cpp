#include "http/support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/http_trust.h"
#include "standin/tls_certificates.h"

extern char** environ;

namespace korvane::testing {

TempDir::TempDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("korvane-http-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

const TlsFiles& RunTlsFiles() {
  static TempDir dir;
  static const TlsFiles files = [] {
    const standin::TlsMaterial material = standin::MakeTlsMaterial();
    TlsFiles out{(dir.path() / "ca.pem").string(), (dir.path() / "cert.pem").string(),
                 (dir.path() / "key.pem").string()};
    if (!standin::WritePemFile(out.caFile, material.caCertPem) ||
        !standin::WritePemFile(out.certFile, material.serverCertPem) ||
        !standin::WritePemFile(out.keyFile, material.serverKeyPem))
      throw std::runtime_error("cannot write the TLS files");
    platform::SetTrustedCaFile(out.caFile);
    return out;
  }();
  return files;
}

LoopbackServer::LoopbackServer(bool tls) : tls_(tls) {
  if (tls) {
    const TlsFiles& files = RunTlsFiles();
    server_ = std::make_unique<httplib::SSLServer>(files.certFile.c_str(), files.keyFile.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
}

void LoopbackServer::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0)
    throw std::runtime_error("loopback server: cannot bind");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
  server_->stop();
  if (thread_.joinable())
    thread_.join();
}

std::string LoopbackServer::Url(std::string_view path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
         std::string(path);
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

namespace {

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

Tinyproxy::Tinyproxy(int connectPort, std::string user, std::string password) {
  port_ = FreePort();
  const std::filesystem::path config = dir_.path() / "tinyproxy.conf";
  {
    std::ofstream out(config);
    out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
        << "Allow 127.0.0.1\nConnectPort " << connectPort << "\nLogLevel Info\nLogFile \""
        << (dir_.path() / "tinyproxy.log").string() << "\"\n";
    if (!user.empty())
      out << "BasicAuth " << user << " " << password << "\n";
  }
  const std::string configPath = config.string();
  const char* argv[] = {"tinyproxy", "-d", "-c", configPath.c_str(), nullptr};
  pid_t pid = 0;
  if (::posix_spawnp(&pid, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    port_ = 0;
    return;
  }
  pid_ = pid;
  for (int i = 0; i < 200 && !Accepts(port_); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

Tinyproxy::~Tinyproxy() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::string Tinyproxy::Address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string Tinyproxy::Log() const {
  std::ifstream in(dir_.path() / "tinyproxy.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace korvane::testing
