// What the requests of one process share through libcurl: TLS sessions (so a handshake with a
// server already met is resumed instead of done in full), the name-resolution cache, and the
// cookie store of the calls that leave cookies to the platform. Connections are never shared:
// every request still opens and closes its own.
#pragma once

#include <cstdint>
#include <memory>

namespace korvane::platform {

// One libcurl share handle (a CURLSH*) for the trust setting it was made under. A request holds
// its reference until its handle is cleaned up, so a share outlives every request using it.
class CurlShare {
 public:
  ~CurlShare();
  CurlShare(const CurlShare&) = delete;
  CurlShare& operator=(const CurlShare&) = delete;

  void* Handle() const { return share_; }

  struct Locks;

 private:
  friend std::shared_ptr<CurlShare> CurrentCurlShare();
  CurlShare();

  void* share_ = nullptr;
  std::unique_ptr<Locks> locks_;
};

// The share for requests starting now. A change of the trusted CA setting (SetTrustedCaFile)
// starts a new one: TLS sessions and resolved names of the old setting are dropped, so a resumed
// session never stands in for a handshake that the new setting would refuse. Cookies carry over.
std::shared_ptr<CurlShare> CurrentCurlShare();

}  // namespace korvane::platform
