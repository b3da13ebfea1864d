#include "platform/http_win_http.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <vector>

#include "platform/code_page.h"
#include "platform/http_transfer.h"

namespace korvane::platform {

namespace {

struct HandleObject {
  virtual ~HandleObject() = default;
};

struct Session : HandleObject {
  std::string proxyList;
};

struct Connection : HandleObject {
  std::string proxyList;
  std::string host;
  int port = 0;
};

struct Request : HandleObject {
  Connection connection;
  std::string verb;
  std::string objectName;
  bool secure = false;
  int resolveMs = 30000, connectMs = 30000, sendMs = 30000, receiveMs = 30000;
  std::string user, password, proxyUser, proxyPassword;
  bool redirects = true;
  TransferLimits limits;
  std::vector<std::string> headerLines;
  std::unique_ptr<Transfer> transfer;
  bool brokenOff = false;
};

template <class T>
T* As(WinHttpHandle handle) {
  return dynamic_cast<T*>(reinterpret_cast<HandleObject*>(handle));
}

WinHttpHandle ToHandle(HandleObject* object) {
  return reinterpret_cast<WinHttpHandle>(object);
}

bool ParsePort(std::string_view digits, int& port) {
  if (digits.empty() || digits.size() > 5)
    return false;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  return error == std::errc() && end == digits.data() + digits.size() && port >= 1 && port <= 65535;
}

class CurlWinHttpStack final : public WinHttpStack {
 public:
  bool CheckPlatform() override { return true; }

  bool CrackUrl(std::string_view url, WinHttpUrlParts& parts) override {
    if (HasLineBreakOrNul(url))
      return false;
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos)
      return false;
    std::string scheme(url.substr(0, schemeEnd));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    if (scheme != "http" && scheme != "https")
      return false;
    WinHttpUrlParts out;
    out.secure = scheme == "https";
    std::string_view rest = url.substr(schemeEnd + 3);
    const size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view tail =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
      authority.remove_prefix(at + 1);
    std::string_view host = authority;
    out.port = out.secure ? 443 : 80;
    const size_t bracketEnd = authority.find(']');
    const size_t colon = authority.find(':', bracketEnd == std::string_view::npos ? 0 : bracketEnd);
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      if (!ParsePort(authority.substr(colon + 1), out.port))
        return false;
    }
    if (host.empty())
      return false;
    out.host = std::string(host);
    const size_t extra = tail.find_first_of("?#");
    out.path = std::string(tail.substr(0, extra));
    if (extra != std::string_view::npos)
      out.extraInfo = std::string(tail.substr(extra));
    parts = std::move(out);
    return true;
  }

  WinHttpHandle Open(std::string_view proxyList) override {
    auto session = std::make_unique<Session>();
    session->proxyList = std::string(proxyList);
    return ToHandle(session.release());
  }

  WinHttpHandle Connect(WinHttpHandle sessionHandle, std::string_view host, int port) override {
    Session* session = As<Session>(sessionHandle);
    if (!session || host.empty() || HasLineBreakOrNul(host) || port < 1 || port > 65535)
      return 0;
    auto connection = std::make_unique<Connection>();
    connection->proxyList = session->proxyList;
    connection->host = std::string(host);
    connection->port = port;
    return ToHandle(connection.release());
  }

  WinHttpHandle OpenRequest(WinHttpHandle connectionHandle, std::string_view verb,
                            std::string_view objectName, bool secure) override {
    Connection* connection = As<Connection>(connectionHandle);
    if (!connection || verb.empty() || HasLineBreakOrNul(objectName))
      return 0;
    auto request = std::make_unique<Request>();
    request->connection = *connection;
    request->verb = std::string(verb);
    request->objectName = std::string(objectName);
    request->secure = secure;
    return ToHandle(request.release());
  }

  bool SetTimeouts(WinHttpHandle handle, int resolveMs, int connectMs, int sendMs,
                   int receiveMs) override {
    Request* request = As<Request>(handle);
    if (!request || resolveMs <= 0 || connectMs <= 0 || sendMs <= 0 || receiveMs <= 0)
      return false;
    request->resolveMs = resolveMs;
    request->connectMs = connectMs;
    request->sendMs = sendMs;
    request->receiveMs = receiveMs;
    return true;
  }

  bool SetLimits(WinHttpHandle handle, const TransferLimits& limits) override {
    Request* request = As<Request>(handle);
    if (!request || request->transfer)
      return false;
    request->limits = limits;
    return true;
  }

  bool BodyOverLimit(WinHttpHandle handle) override {
    Request* request = As<Request>(handle);
    return request && request->transfer && request->transfer->OverLimit();
  }

  bool SetCredentials(WinHttpHandle handle, WinHttpAuthTarget target, std::string_view user,
                      std::string_view password) override {
    Request* request = As<Request>(handle);
    if (!request || HasLineBreakOrNul(user) || HasLineBreakOrNul(password))
      return false;
    if (target == WinHttpAuthTarget::kServer) {
      request->user = std::string(user);
      request->password = std::string(password);
    } else {
      request->proxyUser = std::string(user);
      request->proxyPassword = std::string(password);
    }
    return true;
  }

  bool SetOption(WinHttpHandle handle, WinHttpFeature feature) override {
    Request* request = As<Request>(handle);
    if (!request)
      return false;
    // Cookies are never handled automatically on this stack, so switching them off holds by
    // construction.
    if (feature == WinHttpFeature::kDisableRedirects)
      request->redirects = false;
    return true;
  }

  bool AddRequestHeaders(WinHttpHandle handle, std::string_view headers) override {
    Request* request = As<Request>(handle);
    if (!request)
      return false;
    return SplitHeaderLines(headers, request->headerLines);
  }

  bool SendRequest(WinHttpHandle handle, std::string_view body, std::stop_token stop) override {
    Request* request = As<Request>(handle);
    if (!request || request->transfer)
      return false;
    TransferSettings settings;
    std::string host = GbkToUtf8(request->connection.host);
    if (host.find(':') != std::string::npos && host.front() != '[')
      host = "[" + host + "]";
    settings.url = (request->secure ? "https://" : "http://") + host + ":" +
                   std::to_string(request->connection.port) +
                   EscapeRequestTarget(GbkToUtf8(request->objectName));
    settings.verb = request->verb;
    settings.body = std::string(body);
    settings.headerLines = request->headerLines;
    settings.proxy =
        ProxyForScheme(request->connection.proxyList, request->secure ? "https" : "http");
    settings.proxyUser = request->proxyUser;
    settings.proxyPassword = request->proxyPassword;
    settings.user = request->user;
    settings.password = request->password;
    settings.followRedirects = request->redirects;
    settings.limits = request->limits;
    // libcurl's connect timeout covers resolving the name too: one budget for both steps.
    settings.connectTimeout =
        std::chrono::milliseconds(std::max(request->resolveMs, request->connectMs));
    settings.idleTimeout = std::chrono::milliseconds(std::max(request->sendMs, request->receiveMs));
    request->transfer = std::make_unique<Transfer>(std::move(settings));
    return request->transfer->Send(stop);
  }

  bool ReceiveResponse(WinHttpHandle handle) override {
    Request* request = As<Request>(handle);
    return request && request->transfer && request->transfer->WaitForResponse();
  }

  bool QueryDataAvailable(WinHttpHandle handle, size_t& available) override {
    Request* request = As<Request>(handle);
    if (!request || !request->transfer)
      return false;
    bool failed = false;
    available = request->transfer->WaitForData(failed);
    if (available == 0 && failed) {
      request->brokenOff = true;
      available = 1;
    }
    return true;
  }

  bool ReadData(WinHttpHandle handle, char* buffer, size_t size, size_t& read) override {
    read = 0;
    Request* request = As<Request>(handle);
    if (!request || !request->transfer || request->brokenOff)
      return false;
    return request->transfer->Read(buffer, size, read);
  }

  bool QueryRawHeaders(WinHttpHandle handle, std::string& block) override {
    Request* request = As<Request>(handle);
    return request && request->transfer && request->transfer->RawHeaders(block);
  }

  void CloseHandle(WinHttpHandle handle) override {
    delete reinterpret_cast<HandleObject*>(handle);
  }
};

}  // namespace

WinHttpStack& DefaultWinHttpStack() {
  static CurlWinHttpStack stack;
  return stack;
}

}  // namespace korvane::platform
