// The general HTTP/HTTPS request routine on the session/connection/request stack: one
// synchronous request per call, failures reported as texts from "700" to "713" in `statusText`,
// the page text returned (re-decoded when the page declares a charset of its own).
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "http/out_param.h"
#include "platform/http_win_http.h"
#include "util/bytes.h"

namespace korvane {

// Failure texts written into `statusText`.
inline constexpr std::string_view kWinHttpUnsupported = "700 当前系统不支持WinHttp服务!";
inline constexpr std::string_view kWinHttpBadUrl = "701 解析URL地址失败!";
inline constexpr std::string_view kWinHttpSessionFailed = "702 创建WinHttp会话失败!";
inline constexpr std::string_view kWinHttpConnectFailed = "703 创建WinHttp连接失败!";
inline constexpr std::string_view kWinHttpRequestFailed = "704 创建WinHttp请求失败!";
inline constexpr std::string_view kWinHttpTimeoutsFailed = "705 设置超时时间失败!";
inline constexpr std::string_view kWinHttpCredentialsFailed = "707 设置代理凭证失败!";
inline constexpr std::string_view kWinHttpCookiesFailed = "708 禁止自动设置Cookies失败!";
inline constexpr std::string_view kWinHttpRedirectFailed = "709 重定向设置失败!";
inline constexpr std::string_view kWinHttpHeadersFailed = "710 设置协议头失败!";
inline constexpr std::string_view kWinHttpSendFailed = "711 发送请求失败!";
inline constexpr std::string_view kWinHttpNoResponse = "712 服务器未响应!";
inline constexpr std::string_view kWinHttpReadFailed = "713 读取数据失败!";

// One request. `method`: 0 GET, 1 POST, 2 HEAD, 3 PUT, anything else GET. `cookies`, when
// given (even empty), is the only cookie source of the request and afterwards holds the merged
// cookie list. `timeoutSeconds` <= 0 means 30 s for resolve, connect, send and each receive.
// `stop` aborts the request from another thread: the call then returns as on a failed receive
// (712, or 713 once the body is being read). `stack` null means the libcurl stack. `limits`
// (none by default) caps the body and bounds the whole request: a body past the cap ends the call
// at once with 713 in `statusText`, an empty result and no other out-parameter written; a passed
// deadline fails as a timeout does.
std::string WinHttpFetch(std::string_view url, int method = 0, std::string_view postText = {},
                         InOut<std::string> cookies = {}, Out<std::string> returnedCookies = {},
                         std::string_view extraHeaders = {}, Out<std::string> returnedHeaders = {},
                         bool noRedirect = false, std::string_view userName = {},
                         std::string_view password = {}, std::string_view proxy = {},
                         std::string_view proxyUser = {}, std::string_view proxyPassword = {},
                         int timeoutSeconds = 0, Out<std::string> redirectUrl = {},
                         Out<std::string> statusText = {}, Out<Bytes> returnedBytes = {},
                         std::stop_token stop = {}, platform::WinHttpStack* stack = nullptr,
                         const platform::TransferLimits& limits = {});

// The header block the routine sends for `extraHeaders` and `cookies`: the caller's lines, then
// each default line whose probe text does not occur, then the Cookie line.
std::string BuildWinHttpHeaderBlock(std::string_view extraHeaders, std::string_view cookies);

}  // namespace korvane
