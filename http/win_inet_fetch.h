// The second request routine, on the internet/connection/request stack: completes the caller's
// headers with fixed defaults, sends a body given as text or bytes, and returns the response
// body as bytes. Failures give empty bytes; nothing is reported.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "http/out_param.h"
#include "platform/http_win_inet.h"
#include "util/bytes.h"

namespace korvane {

inline constexpr std::string_view kWinInetDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// One request. `method`: 0 GET, 1 POST, 2 HEAD, anything else GET. `cookies` given (even empty)
// switches automatic cookies off for the request and afterwards holds the merged cookie list;
// omitted, the request takes part in the process-wide cookie store. `extraHeaders` is completed
// in place with the defaults and holds the header block that was sent. `postBytes` takes
// precedence over `postText` and is filled from it when empty. `stop` aborts the request from
// another thread (the body read so far is returned). `stack` null means the libcurl stack.
// `limits` (none by default) caps the body and bounds the whole request: a body past the cap, or
// a stack that cannot take the limits, gives empty bytes with no out-parameter written; a passed
// deadline ends the request as a broken-off read does.
Bytes WinInetFetch(std::string_view url, int method = 0, std::string_view postText = {},
                   InOut<std::string> cookies = {}, Out<std::string> returnedCookies = {},
                   InOut<std::string> extraHeaders = {}, Out<std::string> returnedHeaders = {},
                   bool noRedirect = false, InOut<Bytes> postBytes = {},
                   std::string_view proxy = {}, std::stop_token stop = {},
                   platform::WinInetStack* stack = nullptr,
                   const platform::TransferLimits& limits = {});

}  // namespace korvane
