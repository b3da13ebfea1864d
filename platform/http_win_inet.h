// The internet/connection/request stack that WinInetFetch runs on, as a narrow interface: open
// a handle (direct or through a proxy), connect, open a request, send it, read the body in
// pieces, read the raw response headers, close. The real implementation runs on libcurl; tests
// put a fault-injecting one in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/transfer_limits.h"

namespace korvane::platform {

// An internet, connection or request handle; 0 is none, and closing none is harmless.
using WinInetHandle = std::uintptr_t;

// Request flags, combined with '|'.
inline constexpr std::uint32_t kInetReload = 0x80000000;     // never answer from a cache
inline constexpr std::uint32_t kInetNeedFile = 0x00000010;   // keep the response (no effect)
inline constexpr std::uint32_t kInetNoCookies = 0x00080000;  // no automatic cookies
inline constexpr std::uint32_t kInetNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kInetSecure = 0x00800000;  // TLS
inline constexpr std::uint32_t kInetIgnoreRedirectToHttps = 0x00004000;

class WinInetStack {
 public:
  virtual ~WinInetStack() = default;

  // `agent` is the User-Agent sent when the request's headers name none; `proxyList` empty
  // means direct access, else "host:port" or "scheme=host:port" entries.
  virtual WinInetHandle Open(std::string_view agent, bool useProxy, std::string_view proxyList) = 0;
  virtual WinInetHandle Connect(WinInetHandle internet, std::string_view host, int port) = 0;
  virtual WinInetHandle OpenRequest(WinInetHandle connection, std::string_view verb,
                                    std::string_view objectName, std::string_view version,
                                    std::uint32_t flags) = 0;
  // The body cap and total deadline of a request not yet sent (none unless set). A stack
  // without them of its own may keep the default, which accepts them and enforces nothing: the
  // request routine counts the body itself.
  virtual bool SetLimits(WinInetHandle /*request*/, const TransferLimits& /*limits*/) {
    return true;
  }
  // True once the request's body passed the cap set with SetLimits, which broke it off.
  virtual bool BodyOverLimit(WinInetHandle /*request*/) { return false; }
  // Sends the header lines (separated by CR LF) and the body, and waits for the response's
  // headers. Without kInetNoCookies the request takes part in the process-wide cookie store.
  virtual bool SendRequest(WinInetHandle request, std::string_view headers, std::string_view body,
                           std::stop_token stop) = 0;
  // Reads up to `size` body bytes; `read` 0 with success at the end of the body.
  virtual bool ReadFile(WinInetHandle request, char* buffer, size_t size, size_t& read) = 0;
  // The raw response header block: status line, header lines each ending in CR LF, empty line.
  virtual bool QueryRawHeaders(WinInetHandle request, std::string& block) = 0;
  virtual void CloseHandle(WinInetHandle handle) = 0;
};

// The libcurl implementation, shared by every caller (it keeps no state of its own).
WinInetStack& DefaultWinInetStack();

}  // namespace korvane::platform
