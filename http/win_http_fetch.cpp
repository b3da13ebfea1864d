#include "http/win_http_fetch.h"

#include <algorithm>
#include <array>
#include <vector>

#include "http/charset_decode.h"
#include "http/cookies.h"
#include "http/meta_charset.h"
#include "http/response_headers.h"
#include "platform/com_apartment.h"
#include "platform/http_transfer.h"
#include "script/regex_object.h"
#include "util/gbk_text.h"
#include "util/text_between.h"

namespace korvane {
namespace {

using platform::WinHttpHandle;

struct DefaultHeader {
  std::string_view probe;
  bool ignoreCase;
  std::string_view line;
};

constexpr std::array<DefaultHeader, 6> kDefaultHeaders{{
    {"User-Agent: ", true,
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"},
    {"Accept: ", true, "Accept: text/html, application/xhtml+xml, */*\r\n"},
    {"Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312\r\n"},
    {"Accept-Language: ", true, "Accept-Language: zh-cn\r\n"},
    {"Content-Type:", false, "Content-Type: application/x-www-form-urlencoded\r\n"},
    {"Cache-Control: ", true, "Cache-Control: no-cache\r\n"},
}};

std::string_view Verb(int method) {
  switch (method) {
    case 1:
      return "POST";
    case 2:
      return "HEAD";
    case 3:
      return "PUT";
    default:
      return "GET";
  }
}

// The request's handles, closed request first on every way out.
class Handles {
 public:
  explicit Handles(platform::WinHttpStack& stack) : stack_(stack) {}
  ~Handles() {
    stack_.CloseHandle(request);
    stack_.CloseHandle(connection);
    stack_.CloseHandle(session);
  }
  Handles(const Handles&) = delete;
  Handles& operator=(const Handles&) = delete;

  WinHttpHandle session = 0;
  WinHttpHandle connection = 0;
  WinHttpHandle request = 0;

 private:
  platform::WinHttpStack& stack_;
};

}  // namespace

std::string BuildWinHttpHeaderBlock(std::string_view extraHeaders, std::string_view cookies) {
  std::string block;
  if (!extraHeaders.empty()) {
    block.assign(extraHeaders);
    block += "\r\n";
  }
  // Only the caller's lines need searching: no default line holds another header's name, and no
  // name spans a line break, so a name found in the block is one found in the caller's lines.
  const size_t givenSize = block.size();
  const auto inGiven = [&](std::string_view probe, bool ignoreCase) {
    return gbk::Find(std::string_view(block).substr(0, givenSize), probe, 0, ignoreCase) !=
           gbk::npos;
  };
  for (const DefaultHeader& header : kDefaultHeaders) {
    if (!inGiven(header.probe, header.ignoreCase))
      block += header.line;
  }
  if (!inGiven("Cookie: ", true) && !cookies.empty()) {
    block += "Cookie: ";
    block += cookies;
    block += "\r\n";
  }
  return block;
}

std::string WinHttpFetch(std::string_view url, int method, std::string_view postText,
                         InOut<std::string> cookies, Out<std::string> returnedCookies,
                         std::string_view extraHeaders, Out<std::string> returnedHeaders,
                         bool noRedirect, std::string_view userName, std::string_view password,
                         std::string_view proxy, std::string_view proxyUser,
                         std::string_view proxyPassword, int timeoutSeconds,
                         Out<std::string> redirectUrl, Out<std::string> statusText,
                         Out<Bytes> returnedBytes, std::stop_token stop,
                         platform::WinHttpStack* stackOrNull,
                         const platform::TransferLimits& limits) {
  platform::WinHttpStack& stack = stackOrNull ? *stackOrNull : platform::DefaultWinHttpStack();
  RegexObject regex;
  Handles handles(stack);
  const auto fail = [&](std::string_view message) {
    statusText.Set(std::string(message));
    return std::string();
  };

  if (!stack.CheckPlatform())
    return fail(kWinHttpUnsupported);
  // A URL that could carry an extra line onto the wire is refused as unparsable.
  platform::WinHttpUrlParts parts;
  if (platform::HasLineBreakOrNul(url) || !stack.CrackUrl(url, parts))
    return fail(kWinHttpBadUrl);
  const std::string objectName = parts.path.empty() ? "/" : parts.path + parts.extraInfo;

  std::string proxyName;
  if (!proxy.empty())
    proxyName = parts.secure ? std::string(proxy) : "http=" + std::string(proxy);
  handles.session = stack.Open(proxyName);
  if (!handles.session)
    return fail(kWinHttpSessionFailed);
  handles.connection = stack.Connect(handles.session, parts.host, parts.port);
  if (!handles.connection)
    return fail(kWinHttpConnectFailed);
  handles.request = stack.OpenRequest(handles.connection, Verb(method), objectName, parts.secure);
  if (!handles.request)
    return fail(kWinHttpRequestFailed);

  // Computed wide so a large count of seconds cannot overflow.
  const long long timeoutMs =
      timeoutSeconds > 0 ? std::min<long long>(timeoutSeconds * 1000LL, 0x7FFFFFFF) : 30000;
  const int t = static_cast<int>(timeoutMs);
  if (!stack.SetTimeouts(handles.request, t, t, t, t))
    return fail(kWinHttpTimeoutsFailed);
  const bool limited = limits.maxBodyBytes > 0 || limits.deadline.count() > 0;
  if (limited && !stack.SetLimits(handles.request, limits))
    return fail(kWinHttpTimeoutsFailed);
  if (!userName.empty() && !password.empty() &&
      !stack.SetCredentials(handles.request, platform::WinHttpAuthTarget::kServer, userName,
                            password))
    return fail(kWinHttpCredentialsFailed);
  if (!proxyUser.empty() && !proxyPassword.empty() &&
      !stack.SetCredentials(handles.request, platform::WinHttpAuthTarget::kProxy, proxyUser,
                            proxyPassword))
    return fail(kWinHttpCredentialsFailed);
  // Automatic cookies stay off even when the caller gives cookies: the caller's text is then the
  // request's only cookie source.
  if (!stack.SetOption(handles.request, platform::WinHttpFeature::kDisableCookies))
    return fail(kWinHttpCookiesFailed);
  if (noRedirect && !stack.SetOption(handles.request, platform::WinHttpFeature::kDisableRedirects))
    return fail(kWinHttpRedirectFailed);

  const std::string_view cookieText = cookies.Given() ? cookies.Value() : std::string_view();
  const std::string block = BuildWinHttpHeaderBlock(extraHeaders, cookieText);
  // A lone CR, LF or a NUL would end a line early or start a new one on the wire.
  std::vector<std::string> checkedLines;
  if (platform::HasLineBreakOrNul(cookieText) || !platform::SplitHeaderLines(block, checkedLines) ||
      !stack.AddRequestHeaders(handles.request, block))
    return fail(kWinHttpHeadersFailed);

  if (!stack.SendRequest(handles.request, postText, stop))
    return fail(stop.stop_requested() ? kWinHttpNoResponse : kWinHttpSendFailed);
  if (!stack.ReceiveResponse(handles.request))
    return fail(kWinHttpNoResponse);

  // The body, appended as it arrives. A body past the cap is given up whole: nothing of it is
  // returned, so no caller mistakes a cut-off reply for a complete one.
  Bytes body;
  std::string buffer;
  // A capped request makes room for an announced body within the cap at once, so a large reply
  // is never copied while it grows.
  if (limits.maxBodyBytes > 0) {
    std::string head;
    const long long announced =
        stack.QueryRawHeaders(handles.request, head) ? platform::AnnouncedLength(head) : -1;
    if (announced > 0 && static_cast<unsigned long long>(announced) <= limits.maxBodyBytes)
      body.reserve(static_cast<size_t>(announced));
  }
  for (;;) {
    size_t available = 0;
    if (!stack.QueryDataAvailable(handles.request, available) || available < 1)
      break;
    if (stack.BodyOverLimit(handles.request))
      return fail(kWinHttpReadFailed);
    buffer.resize(available);
    size_t read = 0;
    if (!stack.ReadData(handles.request, buffer.data(), available, read)) {
      if (stack.BodyOverLimit(handles.request))
        return fail(kWinHttpReadFailed);
      statusText.Set(std::string(kWinHttpReadFailed));
      break;
    }
    if (limits.maxBodyBytes > 0 && read > limits.maxBodyBytes - body.size())
      return fail(kWinHttpReadFailed);
    body.append(buffer.data(), read);
  }
  buffer = std::string();

  // Without the response's header block the call gives nothing back but the status text.
  std::string headers;
  if (!stack.QueryRawHeaders(handles.request, headers))
    return {};
  if (headers.size() >= 9) {
    const size_t lineEnd = headers.find("\r\n", 9);
    statusText.Set(
        headers.substr(9, lineEnd == std::string::npos ? std::string::npos : lineEnd - 9));
  } else {
    statusText.Set(std::string());
  }
  headers = NormaliseSetCookie(std::move(headers));
  returnedHeaders.Set(headers);

  for (const std::string_view line : HeaderLines(headers)) {
    if (line.size() >= 10 && gbk::BytesEqual(line.substr(0, 10), "Location: ", true))
      redirectUrl.Set(std::string(line.substr(10)));
  }
  std::string setCookies = SetCookiePairs(headers);
  if (cookies.Given())
    MergeCookies(cookies.Value(), setCookies);
  returnedCookies.Set(setCookies);

  // The page text: the body up to its first zero byte, re-decoded when the page declares a
  // charset other than the program's own. The body itself becomes the page when nobody asked
  // for the bytes, so a large reply is not held twice.
  const size_t zero = body.find('\0');
  const bool bodyIsPage = zero == std::string::npos && !returnedBytes.Given();
  std::string page = bodyIsPage ? std::move(body) : body.substr(0, zero);
  const std::string_view raw = bodyIsPage ? std::string_view(page) : std::string_view(body);
  if (!stop.stop_requested()) {
    const platform::ComScope com;
    const std::string charset = DeclaredCharset(regex, page);
    if (!charset.empty() && charset != "gbk" && charset != "gb2312") {
      if (auto decoded = DecodeToGbk(raw, charset))
        page = std::move(*decoded);
    }
  }
  if (returnedBytes.Given())
    returnedBytes.Set(std::move(body));
  return page;
}

}  // namespace korvane
