#include "platform/http_trust.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <utility>

namespace korvane::platform {
namespace {

constexpr const char* kSystemCaDirectory = "/etc/ssl/certs";

struct StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
using StorePtr = std::unique_ptr<X509_STORE, StoreFree>;

// The setting and the store built from it. Never destroyed: connections may still be set up
// while the process exits, and OpenSSL's own exit clean-up may already have run by the time a
// static destructor would free the store. It stays reachable, so it is no leak.
struct TrustState {
  std::mutex mutex;
  std::string caFile;
  uint64_t generation = 0;
  StorePtr store;  // built on the first secure connection after a change; shared, never altered
};

TrustState& State() {
  static TrustState* const state = new TrustState;
  return *state;
}

// The CA bundle and directory libcurl was built to use when told nothing else.
struct SystemPaths {
  std::string bundle, directory;
};

// Asked of a handle only once libcurl is initialised (from inside a connection).
const SystemPaths& DefaultPaths() {
  static const SystemPaths paths = [] {
    SystemPaths out;
    if (CURL* easy = curl_easy_init()) {
      char* value = nullptr;
      if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &value) == CURLE_OK && value != nullptr)
        out.bundle = value;
      value = nullptr;
      if (curl_easy_getinfo(easy, CURLINFO_CAPATH, &value) == CURLE_OK && value != nullptr)
        out.directory = value;
      curl_easy_cleanup(easy);
    }
    return out;
  }();
  return paths;
}

// The store a libcurl handle would have built for this setting: an extra CA file goes with the
// system's directory; without one, libcurl's default bundle and directory. The flags are the
// ones libcurl puts on its own store (trusted certificates first, and a chain may end at any
// trusted certificate), so the same chains verify.
StorePtr BuildStore(const std::string& caFile) {
  StorePtr store(X509_STORE_new());
  if (!store)
    return nullptr;
  std::string file = caFile, directory;
  std::error_code error;
  if (caFile.empty()) {
    file = DefaultPaths().bundle;
    directory = DefaultPaths().directory;
  } else if (std::filesystem::is_directory(kSystemCaDirectory, error)) {
    directory = kSystemCaDirectory;
  }
  if (!file.empty() && X509_STORE_load_file(store.get(), file.c_str()) != 1)
    return nullptr;
  if (!directory.empty() && X509_STORE_load_path(store.get(), directory.c_str()) != 1)
    return nullptr;
  X509_STORE_set_flags(store.get(), X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN);
  return store;
}

}  // namespace

void SetTrustedCaFile(std::string path) {
  TrustState& state = State();
  const std::lock_guard lock(state.mutex);
  state.caFile = std::move(path);
  ++state.generation;
  state.store.reset();  // contexts holding it keep their own reference
}

std::string TrustedCaFile() {
  TrustState& state = State();
  const std::lock_guard lock(state.mutex);
  return state.caFile;
}

uint64_t TrustGeneration() {
  TrustState& state = State();
  const std::lock_guard lock(state.mutex);
  return state.generation;
}

bool InstallTrustStore(void* sslContext) {
  TrustState& state = State();
  const std::lock_guard lock(state.mutex);
  if (!state.store)
    state.store = BuildStore(state.caFile);
  if (!state.store || sslContext == nullptr)
    return false;
  // The context takes a reference of its own and drops the store it had.
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), state.store.get());
  return true;
}

}  // namespace korvane::platform
