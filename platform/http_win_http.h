// The session/connection/request stack that WinHttpFetch runs on, as a narrow interface: one
// operation per step of the request, each reporting plain success or failure. The real
// implementation runs on libcurl; tests put a fault-injecting one in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/transfer_limits.h"

namespace korvane::platform {

// A session, connection or request; 0 is none, and closing none is harmless.
using WinHttpHandle = std::uintptr_t;

// A URL split into the parts a request is made from.
struct WinHttpUrlParts {
  bool secure = false;    // the scheme is https (otherwise http)
  std::string host;       // as written, without user info or port
  int port = 0;           // as written, or the scheme's default
  std::string path;       // from the first '/' up to '?' or '#'; empty when there is none
  std::string extraInfo;  // '?' query and '#' fragment, as written
};

enum class WinHttpAuthTarget { kServer, kProxy };

// Request options: switching off automatic cookie handling or redirect following.
enum class WinHttpFeature { kDisableCookies, kDisableRedirects };

class WinHttpStack {
 public:
  virtual ~WinHttpStack() = default;

  virtual bool CheckPlatform() = 0;
  // Splits an absolute http or https URL; false for any other scheme, an empty host, a port
  // that is not a number from 1 to 65535, or a text holding CR, LF or NUL.
  virtual bool CrackUrl(std::string_view url, WinHttpUrlParts& parts) = 0;
  // A session; `proxyList` empty for direct access, else "host:port" or "scheme=host:port"
  // entries that apply to every request of the session.
  virtual WinHttpHandle Open(std::string_view proxyList) = 0;
  virtual WinHttpHandle Connect(WinHttpHandle session, std::string_view host, int port) = 0;
  virtual WinHttpHandle OpenRequest(WinHttpHandle connection, std::string_view verb,
                                    std::string_view objectName, bool secure) = 0;
  // The resolve and connect timeouts bound name resolution and connecting together (the longer
  // of the two), not one after the other.
  virtual bool SetTimeouts(WinHttpHandle request, int resolveMs, int connectMs, int sendMs,
                           int receiveMs) = 0;
  // The body cap and total deadline of the request (none unless set). A stack without them of
  // its own may keep the default, which accepts them and enforces nothing: the request routine
  // counts the body itself.
  virtual bool SetLimits(WinHttpHandle /*request*/, const TransferLimits& /*limits*/) {
    return true;
  }
  // True once the request's body passed the cap set with SetLimits, which broke it off.
  virtual bool BodyOverLimit(WinHttpHandle /*request*/) { return false; }
  virtual bool SetCredentials(WinHttpHandle request, WinHttpAuthTarget target,
                              std::string_view user, std::string_view password) = 0;
  virtual bool SetOption(WinHttpHandle request, WinHttpFeature feature) = 0;
  // Adds header lines separated by CR LF; false for a line that is not "Name: value" or a text
  // holding a CR, LF or NUL that does not belong to a CR LF.
  virtual bool AddRequestHeaders(WinHttpHandle request, std::string_view headers) = 0;
  // Sends the request with its body; `stop` aborts it and everything after it on this request.
  virtual bool SendRequest(WinHttpHandle request, std::string_view body, std::stop_token stop) = 0;
  virtual bool ReceiveResponse(WinHttpHandle request) = 0;
  // Bytes ready to read without waiting on the server for more (0 at the end of the body).
  // A broken-off body still reports something to read, so that the read reports the failure.
  virtual bool QueryDataAvailable(WinHttpHandle request, size_t& available) = 0;
  virtual bool ReadData(WinHttpHandle request, char* buffer, size_t size, size_t& read) = 0;
  // The raw response header block: status line, header lines each ending in CR LF, empty line.
  virtual bool QueryRawHeaders(WinHttpHandle request, std::string& block) = 0;
  virtual void CloseHandle(WinHttpHandle handle) = 0;
};

// The libcurl implementation, shared by every caller (it keeps no state of its own).
WinHttpStack& DefaultWinHttpStack();

}  // namespace korvane::platform
