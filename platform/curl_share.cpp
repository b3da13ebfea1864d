#include "platform/curl_share.h"

#include <curl/curl.h>

#include <array>
#include <mutex>

#include "platform/http_trust.h"

namespace korvane::platform {

// One mutex per kind of shared data, so a cookie update never waits for a session lookup.
struct CurlShare::Locks {
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes;

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<Locks*>(self)->mutexes[static_cast<size_t>(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<Locks*>(self)->mutexes[static_cast<size_t>(data)].unlock();
  }
};

namespace {

// Copies every cookie of `from` into `to` through two short-lived handles: libcurl has no call
// that moves a share's cookies, but a handle attached to a share reads and writes them.
void CopyCookies(CURLSH* from, CURLSH* to) {
  CURL* reader = curl_easy_init();
  CURL* writer = curl_easy_init();
  if (reader && writer) {
    curl_easy_setopt(reader, CURLOPT_SHARE, from);
    curl_easy_setopt(reader, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(writer, CURLOPT_SHARE, to);
    curl_easy_setopt(writer, CURLOPT_COOKIEFILE, "");
    curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(reader, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
      for (curl_slist* line = cookies; line != nullptr; line = line->next)
        curl_easy_setopt(writer, CURLOPT_COOKIELIST, line->data);
      curl_slist_free_all(cookies);
    }
  }
  if (writer)
    curl_easy_cleanup(writer);
  if (reader)
    curl_easy_cleanup(reader);
}

struct ShareState {
  std::mutex mutex;
  std::shared_ptr<CurlShare> current;
  uint64_t generation = 0;
};

ShareState& State() {
  // Never destroyed: requests may still run while static objects are torn down at exit.
  static ShareState* const state = new ShareState;
  return *state;
}

}  // namespace

CurlShare::CurlShare() : locks_(std::make_unique<Locks>()) {
  CURLSH* share = curl_share_init();
  share_ = share;
  if (!share)
    return;
  curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &Locks::Lock);
  curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &Locks::Unlock);
  curl_share_setopt(share, CURLSHOPT_USERDATA, locks_.get());
  // Cookies only reach a request whose own cookie handling is switched on (CURLOPT_COOKIEFILE),
  // so requests that bring their own cookies neither send nor keep the shared ones.
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_PSL);
}

CurlShare::~CurlShare() {
  if (share_)
    curl_share_cleanup(static_cast<CURLSH*>(share_));
}

std::shared_ptr<CurlShare> CurrentCurlShare() {
  static std::once_flag init;  // the share needs libcurl set up first
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  ShareState& state = State();
  const std::lock_guard lock(state.mutex);
  const uint64_t generation = TrustGeneration();
  if (!state.current || state.generation != generation) {
    std::shared_ptr<CurlShare> next(new CurlShare);
    if (state.current && state.current->Handle() && next->Handle())
      CopyCookies(static_cast<CURLSH*>(state.current->Handle()),
                  static_cast<CURLSH*>(next->Handle()));
    state.current = std::move(next);
    state.generation = generation;
  }
  return state.current;
}

}  // namespace korvane::platform
