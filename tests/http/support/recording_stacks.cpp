#include "http/support/recording_stacks.h"

#include <algorithm>

namespace korvane::testing {

using namespace platform;

bool RecordingWinHttpStack::Fails(const std::string& operation) {
  calls.push_back(operation);
  return ("," + failing_ + ",").find("," + operation + ",") != std::string::npos;
}

bool RecordingWinHttpStack::CheckPlatform() {
  return !Fails("CheckPlatform") && real_.CheckPlatform();
}

bool RecordingWinHttpStack::CrackUrl(std::string_view url, WinHttpUrlParts& parts) {
  return !Fails("CrackUrl") && real_.CrackUrl(url, parts);
}

WinHttpHandle RecordingWinHttpStack::Open(std::string_view list) {
  proxyList = std::string(list);
  if (Fails("Open"))
    return 0;
  const WinHttpHandle handle = real_.Open(list);
  openHandles += handle != 0;
  return handle;
}

WinHttpHandle RecordingWinHttpStack::Connect(WinHttpHandle session, std::string_view host,
                                             int port) {
  if (Fails("Connect"))
    return 0;
  const WinHttpHandle handle = real_.Connect(session, host, port);
  openHandles += handle != 0;
  return handle;
}

WinHttpHandle RecordingWinHttpStack::OpenRequest(WinHttpHandle connection, std::string_view v,
                                                 std::string_view object, bool secure) {
  verb = std::string(v);
  objectName = std::string(object);
  if (Fails("OpenRequest"))
    return 0;
  const WinHttpHandle handle = real_.OpenRequest(connection, v, object, secure);
  openHandles += handle != 0;
  return handle;
}

bool RecordingWinHttpStack::SetTimeouts(WinHttpHandle request, int resolveMs, int connectMs,
                                        int sendMs, int receiveMs) {
  timeouts = {resolveMs, connectMs, sendMs, receiveMs};
  return !Fails("SetTimeouts") &&
         real_.SetTimeouts(request, resolveMs, connectMs, sendMs, receiveMs);
}

bool RecordingWinHttpStack::SetCredentials(WinHttpHandle request, WinHttpAuthTarget target,
                                           std::string_view user, std::string_view password) {
  const std::string who = target == WinHttpAuthTarget::kServer ? "server" : "proxy";
  credentials.push_back(who + " " + std::string(user) + ":" + std::string(password));
  return !Fails("SetCredentials:" + who) && real_.SetCredentials(request, target, user, password);
}

bool RecordingWinHttpStack::SetOption(WinHttpHandle request, WinHttpFeature feature) {
  const std::string what =
      feature == WinHttpFeature::kDisableCookies ? "SetOption:cookies" : "SetOption:redirects";
  return !Fails(what) && real_.SetOption(request, feature);
}

bool RecordingWinHttpStack::AddRequestHeaders(WinHttpHandle request, std::string_view headers) {
  return !Fails("AddRequestHeaders") && real_.AddRequestHeaders(request, headers);
}

bool RecordingWinHttpStack::SendRequest(WinHttpHandle request, std::string_view body,
                                        std::stop_token stop) {
  return !Fails("SendRequest") && real_.SendRequest(request, body, stop);
}

bool RecordingWinHttpStack::ReceiveResponse(WinHttpHandle request) {
  return !Fails("ReceiveResponse") && real_.ReceiveResponse(request);
}

bool RecordingWinHttpStack::QueryDataAvailable(WinHttpHandle request, size_t& available) {
  return !Fails("QueryDataAvailable") && real_.QueryDataAvailable(request, available);
}

bool RecordingWinHttpStack::ReadData(WinHttpHandle request, char* buffer, size_t size,
                                     size_t& read) {
  // A read fault fails the second read, so the routine has something to keep.
  const bool fail =
      Fails("ReadData") && std::count(calls.begin(), calls.end(), std::string("ReadData")) >= 2;
  read = 0;
  return !fail && real_.ReadData(request, buffer, size, read);
}

bool RecordingWinHttpStack::QueryRawHeaders(WinHttpHandle request, std::string& block) {
  return !Fails("QueryRawHeaders") && real_.QueryRawHeaders(request, block);
}

void RecordingWinHttpStack::CloseHandle(WinHttpHandle handle) {
  calls.push_back(handle ? "Close" : "CloseNone");
  openHandles -= handle != 0;
  real_.CloseHandle(handle);
}

bool RecordingWinInetStack::Fails(const std::string& operation) {
  calls.push_back(operation);
  return operation == failing_;
}

WinInetHandle RecordingWinInetStack::Open(std::string_view a, bool proxy, std::string_view list) {
  agent = std::string(a);
  useProxy = proxy;
  proxyList = std::string(list);
  if (Fails("Open"))
    return 0;
  const WinInetHandle handle = real_.Open(a, proxy, list);
  openHandles += handle != 0;
  return handle;
}

WinInetHandle RecordingWinInetStack::Connect(WinInetHandle internet, std::string_view h, int p) {
  host = std::string(h);
  port = p;
  if (Fails("Connect"))
    return 0;
  const WinInetHandle handle = real_.Connect(internet, h, p);
  openHandles += handle != 0;
  return handle;
}

WinInetHandle RecordingWinInetStack::OpenRequest(WinInetHandle connection, std::string_view v,
                                                 std::string_view object, std::string_view version,
                                                 std::uint32_t f) {
  verb = std::string(v);
  objectName = std::string(object);
  flags = f;
  if (Fails("OpenRequest"))
    return 0;
  const WinInetHandle handle = real_.OpenRequest(connection, v, object, version, f);
  openHandles += handle != 0;
  return handle;
}

bool RecordingWinInetStack::SendRequest(WinInetHandle request, std::string_view headers,
                                        std::string_view body, std::stop_token stop) {
  return !Fails("SendRequest") && real_.SendRequest(request, headers, body, stop);
}

bool RecordingWinInetStack::ReadFile(WinInetHandle request, char* buffer, size_t size,
                                     size_t& read) {
  read = 0;
  return !Fails("ReadFile") && real_.ReadFile(request, buffer, size, read);
}

bool RecordingWinInetStack::QueryRawHeaders(WinInetHandle request, std::string& block) {
  return !Fails("QueryRawHeaders") && real_.QueryRawHeaders(request, block);
}

void RecordingWinInetStack::CloseHandle(WinInetHandle handle) {
  calls.push_back(handle ? "Close" : "CloseNone");
  openHandles -= handle != 0;
  real_.CloseHandle(handle);
}

}  // namespace korvane::testing
