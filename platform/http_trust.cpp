#include "platform/http_trust.h"

#include <mutex>
#include <utility>

namespace korvane::platform {
namespace {

std::mutex& TrustMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& TrustedCaPath() {
  static std::string path;
  return path;
}

}  // namespace

void SetTrustedCaFile(std::string path) {
  const std::lock_guard lock(TrustMutex());
  TrustedCaPath() = std::move(path);
}

std::string TrustedCaFile() {
  const std::lock_guard lock(TrustMutex());
  return TrustedCaPath();
}

}  // namespace korvane::platform
