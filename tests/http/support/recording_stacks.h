// Stacks for the request routines that pass every call on to the real libcurl stack, record the
// arguments a test asks about, and fail one chosen operation on demand (failures no real server
// can provoke).
#pragma once

#include <string>
#include <vector>

#include "platform/http_win_http.h"
#include "platform/http_win_inet.h"

namespace korvane::testing {

class RecordingWinHttpStack final : public platform::WinHttpStack {
 public:
  // `failing`: the operation to fail ("CheckPlatform", "CrackUrl", "Open", "Connect",
  // "OpenRequest", "SetTimeouts", "SetCredentials:server", "SetCredentials:proxy",
  // "SetOption:cookies", "SetOption:redirects", "AddRequestHeaders", "SendRequest",
  // "ReceiveResponse", "QueryDataAvailable", "ReadData", "QueryRawHeaders"), several joined by
  // commas; empty: none.
  explicit RecordingWinHttpStack(std::string failing = {}) : failing_(std::move(failing)) {}

  std::vector<std::string> calls;  // operation names in call order ("Close" for each close)
  std::string proxyList;
  std::vector<int> timeouts;
  std::vector<std::string> credentials;  // "server user:password", "proxy user:password"
  std::string objectName, verb;
  int openHandles = 0;

  bool CheckPlatform() override;
  bool CrackUrl(std::string_view url, platform::WinHttpUrlParts& parts) override;
  platform::WinHttpHandle Open(std::string_view list) override;
  platform::WinHttpHandle Connect(platform::WinHttpHandle session, std::string_view host,
                                  int port) override;
  platform::WinHttpHandle OpenRequest(platform::WinHttpHandle connection, std::string_view v,
                                      std::string_view object, bool secure) override;
  bool SetTimeouts(platform::WinHttpHandle request, int resolveMs, int connectMs, int sendMs,
                   int receiveMs) override;
  bool SetCredentials(platform::WinHttpHandle request, platform::WinHttpAuthTarget target,
                      std::string_view user, std::string_view password) override;
  bool SetOption(platform::WinHttpHandle request, platform::WinHttpFeature feature) override;
  bool AddRequestHeaders(platform::WinHttpHandle request, std::string_view headers) override;
  bool SendRequest(platform::WinHttpHandle request, std::string_view body,
                   std::stop_token stop) override;
  bool ReceiveResponse(platform::WinHttpHandle request) override;
  bool QueryDataAvailable(platform::WinHttpHandle request, size_t& available) override;
  bool ReadData(platform::WinHttpHandle request, char* buffer, size_t size, size_t& read) override;
  bool QueryRawHeaders(platform::WinHttpHandle request, std::string& block) override;
  void CloseHandle(platform::WinHttpHandle handle) override;

 private:
  bool Fails(const std::string& operation);
  platform::WinHttpStack& real_ = platform::DefaultWinHttpStack();
  std::string failing_;
};

class RecordingWinInetStack final : public platform::WinInetStack {
 public:
  // `failing`: "Open", "Connect", "OpenRequest", "SendRequest", "ReadFile", "QueryRawHeaders".
  explicit RecordingWinInetStack(std::string failing = {}) : failing_(std::move(failing)) {}

  std::vector<std::string> calls;
  std::string agent, proxyList, host, objectName, verb;
  bool useProxy = false;
  int port = 0;
  std::uint32_t flags = 0;
  int openHandles = 0;

  platform::WinInetHandle Open(std::string_view a, bool proxy, std::string_view list) override;
  platform::WinInetHandle Connect(platform::WinInetHandle internet, std::string_view h,
                                  int p) override;
  platform::WinInetHandle OpenRequest(platform::WinInetHandle connection, std::string_view v,
                                      std::string_view object, std::string_view version,
                                      std::uint32_t f) override;
  bool SendRequest(platform::WinInetHandle request, std::string_view headers, std::string_view body,
                   std::stop_token stop) override;
  bool ReadFile(platform::WinInetHandle request, char* buffer, size_t size, size_t& read) override;
  bool QueryRawHeaders(platform::WinInetHandle request, std::string& block) override;
  void CloseHandle(platform::WinInetHandle handle) override;

 private:
  bool Fails(const std::string& operation);
  platform::WinInetStack& real_ = platform::DefaultWinInetStack();
  std::string failing_;
};

}  // namespace korvane::testing
