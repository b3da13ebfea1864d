#include "http/win_inet_fetch.h"

#include <array>
#include <vector>

#include "http/cookies.h"
#include "http/response_headers.h"
#include "http/url_helpers.h"
#include "platform/http_transfer.h"
#include "util/gbk_text.h"
#include "util/text_between.h"

namespace korvane {
namespace {

using platform::WinInetHandle;

constexpr size_t kReadChunk = 1024;

class Handles {
 public:
  explicit Handles(platform::WinInetStack& stack) : stack_(stack) {}
  ~Handles() { CloseAll(); }
  Handles(const Handles&) = delete;
  Handles& operator=(const Handles&) = delete;

  // Closes request, connection and internet handle, in this order.
  void CloseAll() {
    stack_.CloseHandle(request);
    stack_.CloseHandle(connection);
    stack_.CloseHandle(internet);
    request = connection = internet = 0;
  }

  WinInetHandle internet = 0;
  WinInetHandle connection = 0;
  WinInetHandle request = 0;

 private:
  platform::WinInetStack& stack_;
};

std::string_view Verb(int method) {
  switch (method) {
    case 1:
      return "POST";
    case 2:
      return "HEAD";
    default:
      return "GET";
  }
}

bool Contains(std::string_view text, std::string_view what) {
  return gbk::Find(text, what) != gbk::npos;
}

}  // namespace

Bytes WinInetFetch(std::string_view url, int method, std::string_view postText,
                   InOut<std::string> cookies, Out<std::string> returnedCookies,
                   InOut<std::string> extraHeaders, Out<std::string> returnedHeaders,
                   bool noRedirect, InOut<Bytes> postBytes, std::string_view proxy,
                   std::stop_token stop, platform::WinInetStack* stackOrNull,
                   const platform::TransferLimits& limits) {
  platform::WinInetStack& stack = stackOrNull ? *stackOrNull : platform::DefaultWinInetStack();
  if (method < 0 || method > 2)
    method = 0;
  const std::string_view verb = Verb(method);
  const bool secure = gbk::AsciiLower(url.substr(0, 5)) == "https";
  const std::string callerHeaders = extraHeaders.Given() ? extraHeaders.Value() : std::string();
  const std::string cookieText = cookies.Given() ? cookies.Value() : std::string();

  // Texts that could put an extra line on the wire end the request before anything is opened.
  if (platform::HasLineBreakOrNul(url) || platform::HasLineBreakOrNul(cookieText) ||
      callerHeaders.find('\0') != std::string::npos)
    return {};

  // The agent is the value of the caller's User-Agent line, whatever its letter case and
  // wherever it stands among the lines; the line itself is sent as well.
  std::string agent(kWinInetDefaultAgent);
  const size_t uaAt = gbk::Find(callerHeaders, "User-Agent:", 0, true);
  if (uaAt != gbk::npos) {
    const size_t valueAt = uaAt + std::string_view("User-Agent:").size();
    const size_t lineEnd = callerHeaders.find_first_of("\r\n", valueAt);
    agent = gbk::Trim(
        std::string_view(callerHeaders)
            .substr(valueAt, lineEnd == std::string::npos ? std::string::npos : lineEnd - valueAt));
  }

  Handles handles(stack);
  if (proxy.empty())
    handles.internet = stack.Open(agent, false, {});
  else
    handles.internet =
        stack.Open(agent, true, secure ? std::string(proxy) : "http=" + std::string(proxy));
  if (!handles.internet)
    return {};
  handles.connection = stack.Connect(handles.internet, UrlHost(url), UrlPort(url));
  if (!handles.connection)
    return {};
  std::uint32_t flags = platform::kInetReload | platform::kInetNeedFile;
  if (cookies.Given())
    flags |= platform::kInetNoCookies;
  if (noRedirect)
    flags |= platform::kInetNoAutoRedirect;
  flags |= secure ? platform::kInetSecure : platform::kInetIgnoreRedirectToHttps;
  handles.request = stack.OpenRequest(handles.connection, verb, UrlPath(url), "HTTP/1.1", flags);
  if (!handles.request)
    return {};
  if ((limits.maxBodyBytes > 0 || limits.deadline.count() > 0) &&
      !stack.SetLimits(handles.request, limits))
    return {};

  std::string block = callerHeaders;
  if (block.empty())
    block = "Accept: */*";
  else if (!Contains(block, "Accept:"))
    block += "\r\nAccept: */*";
  if (!Contains(block, "Referer:")) {
    block += "\r\nReferer: ";
    block += url;
  }
  if (!Contains(block, "Accept-Language:"))
    block += "\r\nAccept-Language: zh-cn";
  if (!Contains(block, "Content-Type:"))
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookieText.empty()) {
    block += "\r\nCookie: ";
    block += cookieText;
  }
  if (extraHeaders.Given())
    extraHeaders.Value() = block;

  if (method == 0) {
    stack.SendRequest(handles.request, block, {}, stop);
  } else {
    Bytes localBody;
    Bytes& bodyBytes = postBytes.Given() ? postBytes.Value() : localBody;
    if (bodyBytes.empty())
      bodyBytes.assign(postText);
    stack.SendRequest(handles.request, block, bodyBytes, stop);
  }

  Bytes body;
  std::array<char, kReadChunk> chunk;
  for (;;) {
    size_t read = 0;
    const bool ok = stack.ReadFile(handles.request, chunk.data(), chunk.size(), read);
    // A body past the cap is given up whole, never returned cut off.
    if (stack.BodyOverLimit(handles.request) ||
        (limits.maxBodyBytes > 0 && read > limits.maxBodyBytes - body.size()))
      return {};
    if (!ok || read == 0)
      break;
    body.append(chunk.data(), read);
  }

  std::string headers;
  if (!stack.QueryRawHeaders(handles.request, headers))
    headers.clear();
  headers = NormaliseSetCookie(std::move(headers));
  returnedHeaders.Set(headers);
  handles.CloseAll();

  std::string setCookies = SetCookiePairs(headers);
  if (cookies.Given())
    MergeCookies(cookies.Value(), setCookies);
  returnedCookies.Set(setCookies);
  return body;
}

}  // namespace korvane
