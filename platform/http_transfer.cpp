#include "platform/http_transfer.h"

#include <curl/curl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/sockios.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/curl_share.h"
#include "platform/http_trust.h"

namespace korvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(text[i]) != lower(prefix[i]))
      return false;
  }
  return true;
}

CURLcode InstallStore(CURL*, void* sslContext, void*) {
  return InstallTrustStore(sslContext) ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

bool IsRedirectCode(long code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

}  // namespace

struct Transfer::State {
  std::shared_ptr<CurlShare> share;  // outlives `easy`, which uses it
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  std::optional<std::stop_callback<std::function<void()>>> stopWake;
  std::stop_token stop;
  std::atomic<bool> stopped{false};

  bool follow = true;
  bool head = false;
  size_t bodySize = 0;
  Clock::duration idle{};
  Clock::time_point lastActivity{};
  curl_off_t uploaded = 0;
  long queued = -1;                    // request bytes in the socket's send queue when last looked
  std::vector<curl_socket_t> sockets;  // the exchange's open sockets
  bool connected = false;
  bool requestSent = false;  // the current request went out; header blocks before it are CONNECT's
  bool uploadDone = false;
  bool anyHeader = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  char errorDetail[CURL_ERROR_SIZE] = {};  // libcurl's own words on the failure, when it has any

  size_t maxBody = 0;  // 0: no cap
  size_t received = 0;
  bool overLimit = false;
  std::optional<Clock::time_point> deadline;
  bool deadlinePassed = false;

  std::string building;  // the response header block being received
  long buildingCode = 0;
  bool buildingLocation = false;
  std::string buildingLocationValue;
  long long buildingLength = -1;  // its Content-Length, -1 when none
  std::string complete;           // the last complete response header block
  bool responseReady = false;
  bool keptRedirect = false;  // a redirect not followed was taken as the final response
  std::string connectReply;   // a proxy's refusal of CONNECT, the response if no other comes

  std::string pending;  // body bytes not yet taken
  size_t pendingOffset = 0;
  bool dataSeen = false;

  void Touch() { lastActivity = Clock::now(); }

  // A redirect response that libcurl would follow but this exchange must not: any 3xx other
  // than 301/302/303/307/308, and a step from https down to plain http.
  bool MustKeepRedirect() const {
    if (!IsRedirectCode(buildingCode))
      return true;
    const char* current = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
    return current && StartsWithNoCase(current, "https:") &&
           StartsWithNoCase(buildingLocationValue, "http:");
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto& s = *static_cast<State*>(self);
    const size_t length = size * count;
    std::string_view line(data, length);
    s.Touch();
    if (s.requestSent)
      s.anyHeader = true;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
      line.remove_suffix(1);
    if (StartsWithNoCase(line, "HTTP/")) {
      s.building.clear();
      s.buildingLocation = false;
      s.buildingLocationValue.clear();
      s.buildingLength = -1;
      s.buildingCode = 0;
      const size_t space = line.find(' ');
      if (space != std::string_view::npos)
        s.buildingCode = std::atol(std::string(line.substr(space + 1, 3)).c_str());
    }
    if (StartsWithNoCase(line, "Location:")) {
      s.buildingLocation = true;
      std::string_view value = line.substr(9);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
      s.buildingLocationValue = std::string(value);
    }
    if (StartsWithNoCase(line, "Content-Length:"))
      s.buildingLength = AnnouncedLength(line);
    s.building.append(line);
    s.building.append("\r\n");
    if (!line.empty())
      return length;

    if (!s.requestSent) {
      // The proxy's answer to CONNECT, before the request itself went out: a 2xx opens the
      // tunnel; a refusal is kept and comes back as the response, as a plain-http proxy's would.
      if (s.buildingCode >= 300)
        s.connectReply = std::move(s.building);
      s.building.clear();
      return length;
    }
    if (s.buildingCode >= 100 && s.buildingCode < 200) {
      s.building.clear();  // an interim response: the real one follows
      return length;
    }
    s.complete = std::move(s.building);
    s.building.clear();
    s.requestSent = false;  // a redirect followed sends its request anew
    const bool redirect =
        s.follow && s.buildingLocation && s.buildingCode >= 300 && s.buildingCode < 400;
    if (redirect && !s.MustKeepRedirect())
      return length;  // libcurl follows it
    s.responseReady = true;
    if (redirect) {
      // libcurl would follow it: end the exchange here, with this as the final response.
      s.keptRedirect = true;
      return 0;
    }
    if (s.maxBody > 0 && !s.head && s.buildingLength >= 0 &&
        static_cast<unsigned long long>(s.buildingLength) > s.maxBody) {
      s.overLimit = true;  // announced too large: not one byte of it is read
      return 0;
    }
    return length;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto& s = *static_cast<State*>(self);
    const size_t length = size * count;
    s.Touch();
    if (s.maxBody > 0 && length > s.maxBody - s.received) {
      s.overLimit = true;
      return CURL_WRITEFUNC_ERROR;
    }
    s.received += length;
    s.dataSeen = true;
    s.responseReady = true;
    s.pending.append(data, length);
    return length;
  }

  static int OnPrerequest(void* self, char*, char*, int, int) {
    auto& s = *static_cast<State*>(self);
    s.connected = true;
    s.requestSent = true;
    s.Touch();
    if (s.bodySize == 0)
      s.uploadDone = true;
    return CURL_PREREQFUNC_OK;
  }

  // Bytes of the request still in the send queues of the exchange's sockets (not yet taken in
  // by the peer), or -1 when that cannot be told.
  long QueuedRequestBytes() const {
#ifdef SIOCOUTQ
    long total = -1;
    for (const curl_socket_t socket : sockets) {
      int queued = 0;
      if (::ioctl(socket, SIOCOUTQ, &queued) == 0)
        total = std::max(total, 0L) + queued;
    }
    return total;
#else
    return -1;
#endif
  }

  static int OnSocketOpened(void* self, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN)
      static_cast<State*>(self)->sockets.push_back(socket);
    return CURL_SOCKOPT_OK;
  }

  static int OnSocketClose(void* self, curl_socket_t socket) {
    auto& sockets = static_cast<State*>(self)->sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), socket), sockets.end());
    return ::close(socket);
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
    auto& s = *static_cast<State*>(self);
    if (s.stop.stop_requested())
      return 1;
    // A server still taking in the upload is not silent.
    if (ulnow > s.uploaded) {
      s.uploaded = ulnow;
      s.Touch();
    }
    if (s.connected && static_cast<size_t>(ulnow) >= s.bodySize)
      s.uploadDone = true;
    return 0;
  }
};

Transfer::Transfer(TransferSettings settings)
    : settings_(std::move(settings)), state_(std::make_unique<State>()) {}

Transfer::~Transfer() {
  State& s = *state_;
  s.stopWake.reset();  // waits for a wake-up running on another thread
  if (s.multi && s.easy)
    curl_multi_remove_handle(s.multi, s.easy);
  if (s.easy)
    curl_easy_cleanup(s.easy);
  if (s.multi)
    curl_multi_cleanup(s.multi);
  curl_slist_free_all(s.headers);
}

std::string Transfer::FailureText() const {
  const State& s = *state_;
  if (s.stopped)
    return "stopped";
  if (!s.easy)
    return "could not start the transfer";
  if (s.result == CURLE_OK)
    return s.done ? std::string() : std::string("the exchange ended early");
  if (s.result == CURLE_OPERATION_TIMEDOUT && s.errorDetail[0] == '\0')
    return "timed out waiting for the server";
  return s.errorDetail[0] != '\0' ? std::string(s.errorDetail)
                                  : std::string(curl_easy_strerror(s.result));
}

bool Transfer::Stopped() const {
  return state_->stopped;
}

bool Transfer::OverLimit() const {
  return state_->overLimit;
}

bool Transfer::DeadlinePassed() const {
  return state_->deadlinePassed;
}

bool Transfer::Send(std::stop_token stop) {
  GlobalInit();
  State& s = *state_;
  s.stop = stop;
  if (stop.stop_requested()) {
    s.stopped = true;
    return false;
  }
  s.easy = curl_easy_init();
  s.multi = curl_multi_init();
  if (!s.easy || !s.multi)
    return false;
  CURL* e = s.easy;
  const TransferSettings& t = settings_;
  s.follow = t.followRedirects;
  s.bodySize = t.body.size();
  s.idle = t.idleTimeout;
  s.maxBody = t.limits.maxBodyBytes;
  if (t.limits.deadline.count() > 0)
    s.deadline = Clock::now() + t.limits.deadline;

  bool ok = curl_easy_setopt(e, CURLOPT_URL, t.url.c_str()) == CURLE_OK;
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  // A secure request is never redirected to plain http.
  const char* redirectProtocols = StartsWithNoCase(t.url, "https:") ? "https"
                                  : t.allowRedirectToHttps          ? "http,https"
                                                                    : "http";
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, redirectProtocols);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, t.followRedirects ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, t.maxRedirects);
  // A proxy's answer to CONNECT reaches the header callback, so that a refusal (407) can come
  // back as the response; the callback tells it from the server's own by the request not having
  // gone out yet.
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 0L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.connectTimeout.count()));
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.errorDetail);

  // Verification is never switched off. The CA certificates come from the process-wide store
  // (the system's CAs and the extra CA file), installed into each connection's context instead
  // of libcurl reading and decoding the files again for every handshake.
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
  curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
  curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &InstallStore);

  curl_easy_setopt(e, CURLOPT_PROXY, t.proxy.c_str());  // "" also keeps the environment out
  if (!t.proxy.empty() && !t.proxyUser.empty() && !t.proxyPassword.empty()) {
    curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, t.proxyUser.c_str());
    curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, t.proxyPassword.c_str());
  }
  if (!t.user.empty() && !t.password.empty()) {
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_USERNAME, t.user.c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, t.password.c_str());
  }
  // TLS sessions and resolved names are shared by every request of the process; the shared
  // cookies only by the calls that leave cookies to the platform.
  s.share = CurrentCurlShare();
  if (s.share->Handle())
    curl_easy_setopt(e, CURLOPT_SHARE, s.share->Handle());
  if (t.sharedCookies)
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
  if (!t.userAgent.empty())
    curl_easy_setopt(e, CURLOPT_USERAGENT, t.userAgent.c_str());

  // The verb and body. POST keeps libcurl's switch to GET on a 301/302/303 redirect; any other
  // verb that carries a body is sent as it was asked for.
  if (t.verb == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    s.bodySize = 0;
    s.head = true;
  } else if (t.verb == "POST") {
    curl_easy_setopt(e, CURLOPT_POST, 1L);
  } else if (t.verb == "GET" && t.body.empty()) {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else {
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, t.verb.c_str());
  }
  if (t.verb != "HEAD" && (t.verb != "GET" || !t.body.empty())) {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.body.size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, t.body.data());
  }

  // Exactly the caller's lines; libcurl's own Accept, Expect and Content-Type stay out.
  // libcurl reads "Name:" with nothing after the colon as "leave this header out"; "Name;" is
  // its spelling of a header sent with an empty value.
  for (const std::string& line : t.headerLines) {
    const size_t colon = line.find(':');
    if (colon != std::string::npos && line.find_first_not_of(" \t", colon + 1) == std::string::npos)
      s.headers = curl_slist_append(s.headers, (line.substr(0, colon) + ";").c_str());
    else
      s.headers = curl_slist_append(s.headers, line.c_str());
  }
  for (const char* removal : {"Accept:", "Expect:", "Content-Type:"})
    s.headers = curl_slist_append(s.headers, removal);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, s.headers);

  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &State::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &State::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &State::OnPrerequest);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, &s);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &State::OnProgress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &s);
  curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &State::OnSocketOpened);
  curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, &s);
  curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &State::OnSocketClose);
  curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, &s);
  if (!ok || curl_multi_add_handle(s.multi, e) != CURLM_OK)
    return false;

  CURLM* multi = s.multi;
  s.stopWake.emplace(stop, std::function<void()>([multi] { curl_multi_wakeup(multi); }));
  s.Touch();
  return Drive([](const State& st) { return st.uploadDone || st.anyHeader; }) &&
         (s.uploadDone || s.anyHeader);
}

bool Transfer::WaitForResponse() {
  State& s = *state_;
  if (!s.easy)
    return false;
  Drive([](const State& st) { return st.responseReady; });
  return s.responseReady && !s.complete.empty();
}

const std::string& Transfer::HeaderBlock() const {
  return state_->complete;
}

size_t Transfer::WaitForData(bool& failed) {
  State& s = *state_;
  failed = false;
  if (!s.easy) {
    failed = true;
    return 0;
  }
  Drive([](const State& st) { return st.pending.size() > st.pendingOffset; });
  const size_t buffered = s.pending.size() - s.pendingOffset;
  if (buffered == 0)
    failed = !s.done || s.result != CURLE_OK;
  return buffered;
}

size_t Transfer::Take(char* out, size_t size) {
  State& s = *state_;
  const size_t n = std::min(size, s.pending.size() - s.pendingOffset);
  std::memcpy(out, s.pending.data() + s.pendingOffset, n);
  s.pendingOffset += n;
  if (s.pendingOffset == s.pending.size()) {
    s.pending.clear();
    s.pendingOffset = 0;
  }
  return n;
}

bool Transfer::RawHeaders(std::string& block) const {
  if (HeaderBlock().empty())
    return false;
  block = HeaderBlock();
  return true;
}

bool Transfer::Read(char* out, size_t size, size_t& read) {
  read = 0;
  bool failed = false;
  if (WaitForData(failed) == 0)
    return !failed;
  read = Take(out, size);
  return true;
}

// Runs libcurl until `ready` holds or the exchange ends. Returns false when it ended in failure
// (including a stop or an idle timeout) before `ready` held.
bool Transfer::Drive(bool (*ready)(const State&)) {
  State& s = *state_;
  while (!ready(s) && !s.done) {
    if (s.stop.stop_requested()) {
      s.stopped = true;
      s.done = true;
      s.result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    // A server still taking in the request body is not silent, even once all of it has left
    // libcurl for the socket's send queue: the queue shrinking is its progress.
    if (s.connected && s.bodySize > 0) {
      const long queued = s.QueuedRequestBytes();
      if (queued >= 0 && s.queued >= 0 && queued < s.queued)
        s.Touch();
      s.queued = queued;
    }
    const Clock::time_point now = Clock::now();
    if (s.connected && now - s.lastActivity > s.idle) {
      s.done = true;
      s.result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    if (s.deadline && now >= *s.deadline) {
      s.deadlinePassed = true;
      s.done = true;
      s.result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    int running = 0;
    if (curl_multi_perform(s.multi, &running) != CURLM_OK) {
      s.done = true;
      s.result = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(s.multi, &queued)) {
      if (message->msg == CURLMSG_DONE)
        Finish(message->data.result);
    }
    if (ready(s) || s.done)
      break;
    auto wait = std::chrono::milliseconds(1000);
    if (s.connected) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          s.idle - (Clock::now() - s.lastActivity));
      wait = std::clamp(left + std::chrono::milliseconds(1), std::chrono::milliseconds(1), wait);
    }
    if (s.deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(*s.deadline - Clock::now());
      wait = std::clamp(left + std::chrono::milliseconds(1), std::chrono::milliseconds(1), wait);
    }
    curl_multi_poll(s.multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
  }
  if (s.done && s.result == CURLE_ABORTED_BY_CALLBACK && s.stop.stop_requested())
    s.stopped = true;
  return ready(s) || (s.done && s.result == CURLE_OK);
}

void Transfer::Finish(int curlResult) {
  State& s = *state_;
  s.done = true;
  s.result = static_cast<CURLcode>(curlResult);
  if (s.overLimit || s.result == CURLE_OK)
    return;
  if (s.keptRedirect && s.result == CURLE_WRITE_ERROR) {
    s.result = CURLE_OK;  // ended on purpose at the redirect's headers; its body is not read
  } else if (!s.responseReady && !s.connectReply.empty() && s.result != CURLE_ABORTED_BY_CALLBACK) {
    s.complete = std::move(s.connectReply);
    s.responseReady = true;
    s.anyHeader = true;
    s.result = CURLE_OK;
  }
}

std::string ProxyForScheme(std::string_view proxyList, std::string_view scheme) {
  std::string generic;
  size_t pos = 0;
  while (pos < proxyList.size()) {
    size_t end = proxyList.find_first_of("; ", pos);
    if (end == std::string_view::npos)
      end = proxyList.size();
    const std::string_view entry = proxyList.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty())
      continue;
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (generic.empty())
        generic = std::string(entry);
    } else if (equals == scheme.size() && StartsWithNoCase(entry, scheme)) {
      return std::string(entry.substr(equals + 1));
    }
  }
  return generic;
}

std::string StatusLineText(std::string_view headerBlock) {
  const std::string_view line = headerBlock.substr(0, headerBlock.find("\r\n"));
  const size_t space = line.find(' ');
  return std::string(space == std::string_view::npos ? line : line.substr(space + 1));
}

long long AnnouncedLength(std::string_view headerBlock) {
  long long length = -1;
  size_t pos = 0;
  while (pos < headerBlock.size()) {
    size_t end = headerBlock.find("\r\n", pos);
    if (end == std::string_view::npos)
      end = headerBlock.size();
    std::string_view line = headerBlock.substr(pos, end - pos);
    pos = end + 2;
    if (!StartsWithNoCase(line, "Content-Length:"))
      continue;
    line.remove_prefix(15);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
      line.remove_prefix(1);
    long long value = -1;
    const auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    length = error == std::errc() && value >= 0 ? value : -1;
  }
  return length;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool SplitHeaderLines(std::string_view block, std::vector<std::string>& lines) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= block.size()) {
    size_t end = block.find("\r\n", pos);
    if (end == std::string_view::npos)
      end = block.size();
    const std::string_view line = block.substr(pos, end - pos);
    pos = end + 2;
    if (line.empty())
      continue;
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos || HasLineBreakOrNul(line))
      return false;
    for (const char c : line.substr(0, colon)) {
      const auto b = static_cast<unsigned char>(c);
      if (b <= 0x20 || b == 0x7F)
        return false;
    }
    out.emplace_back(line);
  }
  lines.insert(lines.end(), out.begin(), out.end());
  return true;
}

std::string EscapeRequestTarget(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace korvane::platform
