#include "http/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace korvane::testing {

std::string RawConnection::ReadRequest() {
  char chunk[4096];
  size_t headerEnd;
  while ((headerEnd = buffered_.find("\r\n\r\n")) == std::string::npos) {
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0)
      return {};
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  size_t length = 0;
  const std::string head = buffered_.substr(0, headerEnd + 4);
  for (size_t pos = 0; (pos = head.find("\r\n", pos)) != std::string::npos;) {
    pos += 2;
    if (head.compare(pos, 15, "Content-Length:") == 0 ||
        head.compare(pos, 15, "content-length:") == 0)
      length = std::strtoul(head.c_str() + pos + 15, nullptr, 10);
  }
  while (buffered_.size() < headerEnd + 4 + length) {
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0)
      break;
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  const size_t total = std::min(buffered_.size(), headerEnd + 4 + length);
  std::string request = buffered_.substr(0, total);
  buffered_.erase(0, total);
  return request;
}

bool RawConnection::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void RawConnection::WaitForClose(const std::atomic<bool>& stop) {
  char chunk[256];
  while (!stop) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 10) > 0 && ::recv(fd_, chunk, sizeof chunk, 0) <= 0)
      return;
  }
}

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 64) != 0)
    throw std::runtime_error("raw server: cannot listen");
  socklen_t size = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  {
    const std::lock_guard lock(mutex_);
    for (const int fd : openFds_)
      ::shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& worker : workers_)
    worker.join();
  ::close(listenFd_);
}

std::string RawServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawServer::AcceptLoop() {
  while (!stopping_) {
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0)
      return;
    const std::lock_guard lock(mutex_);
    openFds_.push_back(fd);
    workers_.emplace_back([this, fd] {
      RawConnection connection(fd);
      handler_(connection, *this);
      ::shutdown(fd, SHUT_RDWR);
      const std::lock_guard innerLock(mutex_);
      std::erase(openFds_, fd);
      ::close(fd);
    });
  }
}

void RawServer::Record(const std::string& request) {
  const std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

std::vector<std::string> RawServer::Requests() {
  const std::lock_guard lock(mutex_);
  return requests_;
}

RawServer::Handler RawServer::Reply(std::string response) {
  return [response](RawConnection& connection, RawServer& server) {
    const std::string request = connection.ReadRequest();
    if (request.empty())
      return;
    server.Record(request);
    connection.Write(response);
  };
}

std::string RawServer::Response(std::string_view status, std::string_view headers,
                                std::string_view body) {
  std::string response = "HTTP/1.1 ";
  response += status;
  response += "\r\n";
  response += headers;
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  response += body;
  return response;
}

}  // namespace korvane::testing
