#include "platform/http_win_inet.h"

#include <memory>
#include <vector>

#include "platform/http_transfer.h"

namespace korvane::platform {
namespace {

// This stack has no time-outs of its own to offer; these bound a dead server.
constexpr std::chrono::milliseconds kConnectTimeout{60000};
constexpr std::chrono::milliseconds kIdleTimeout{60000};

struct HandleObject {
  virtual ~HandleObject() = default;
};

struct Internet : HandleObject {
  std::string agent;
  std::string proxyList;
};

struct Connection : HandleObject {
  Internet internet;
  std::string host;
  int port = 0;
};

struct Request : HandleObject {
  Connection connection;
  std::string verb;
  std::string objectName;
  std::uint32_t flags = 0;
  TransferLimits limits;
  std::unique_ptr<Transfer> transfer;
};

template <class T>
T* As(WinInetHandle handle) {
  return dynamic_cast<T*>(reinterpret_cast<HandleObject*>(handle));
}

WinInetHandle ToHandle(HandleObject* object) {
  return reinterpret_cast<WinInetHandle>(object);
}

class CurlWinInetStack final : public WinInetStack {
 public:
  WinInetHandle Open(std::string_view agent, bool useProxy, std::string_view proxyList) override {
    if (HasLineBreakOrNul(agent) || (useProxy && HasLineBreakOrNul(proxyList)))
      return 0;
    auto internet = std::make_unique<Internet>();
    internet->agent = std::string(agent);
    if (useProxy)
      internet->proxyList = std::string(proxyList);
    return ToHandle(internet.release());
  }

  WinInetHandle Connect(WinInetHandle internetHandle, std::string_view host, int port) override {
    Internet* internet = As<Internet>(internetHandle);
    if (!internet || host.empty() || HasLineBreakOrNul(host) || port < 0 || port > 65535)
      return 0;
    auto connection = std::make_unique<Connection>();
    connection->internet = *internet;
    connection->host = std::string(host);
    connection->port = port;
    return ToHandle(connection.release());
  }

  WinInetHandle OpenRequest(WinInetHandle connectionHandle, std::string_view verb,
                            std::string_view objectName, std::string_view,
                            std::uint32_t flags) override {
    Connection* connection = As<Connection>(connectionHandle);
    if (!connection || verb.empty() || HasLineBreakOrNul(objectName))
      return 0;
    auto request = std::make_unique<Request>();
    request->connection = *connection;
    request->verb = std::string(verb);
    request->objectName = std::string(objectName);
    request->flags = flags;
    return ToHandle(request.release());
  }

  bool SetLimits(WinInetHandle handle, const TransferLimits& limits) override {
    Request* request = As<Request>(handle);
    if (!request || request->transfer)
      return false;
    request->limits = limits;
    return true;
  }

  bool BodyOverLimit(WinInetHandle handle) override {
    Request* request = As<Request>(handle);
    return request && request->transfer && request->transfer->OverLimit();
  }

  bool SendRequest(WinInetHandle handle, std::string_view headers, std::string_view body,
                   std::stop_token stop) override {
    Request* request = As<Request>(handle);
    if (!request || request->transfer)
      return false;
    TransferSettings settings;
    if (!SplitHeaderLines(headers, settings.headerLines))
      return false;
    const bool secure = (request->flags & kInetSecure) != 0;
    const Connection& connection = request->connection;
    const int port = connection.port != 0 ? connection.port : (secure ? 443 : 80);
    std::string host = connection.host;
    if (host.find(':') != std::string::npos && host.front() != '[')
      host = "[" + host + "]";
    std::string object = request->objectName.empty() ? "/" : request->objectName;
    if (object.front() != '/')
      object.insert(0, "/");
    settings.url = (secure ? "https://" : "http://") + host + ":" + std::to_string(port) +
                   EscapeRequestTarget(object);
    settings.verb = request->verb;
    settings.body = std::string(body);
    settings.userAgent = connection.internet.agent;
    settings.proxy = ProxyForScheme(connection.internet.proxyList, secure ? "https" : "http");
    settings.followRedirects = (request->flags & kInetNoAutoRedirect) == 0;
    settings.allowRedirectToHttps = (request->flags & kInetIgnoreRedirectToHttps) != 0;
    settings.sharedCookies = (request->flags & kInetNoCookies) == 0;
    settings.connectTimeout = kConnectTimeout;
    settings.idleTimeout = kIdleTimeout;
    settings.limits = request->limits;
    request->transfer = std::make_unique<Transfer>(std::move(settings));
    return request->transfer->Send(stop) && request->transfer->WaitForResponse();
  }

  bool ReadFile(WinInetHandle handle, char* buffer, size_t size, size_t& read) override {
    read = 0;
    Request* request = As<Request>(handle);
    if (!request || !request->transfer)
      return false;
    return request->transfer->Read(buffer, size, read);
  }

  bool QueryRawHeaders(WinInetHandle handle, std::string& block) override {
    Request* request = As<Request>(handle);
    return request && request->transfer && request->transfer->RawHeaders(block);
  }

  void CloseHandle(WinInetHandle handle) override {
    delete reinterpret_cast<HandleObject*>(handle);
  }
};

}  // namespace

WinInetStack& DefaultWinInetStack() {
  static CurlWinInetStack stack;
  return stack;
}

}  // namespace korvane::platform
