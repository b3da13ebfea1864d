// The download command: a plain GET whose body comes back as bytes, empty when the fetch fails.
// Redirects are followed; TLS is verified against the system's CAs and the trusted CA file.
#pragma once

#include <stop_token>
#include <string>
#include <string_view>

#include "platform/transfer_limits.h"
#include "util/bytes.h"

namespace korvane::platform {

// Fetches `url` (the program's text; ASCII in practice) with GET. Returns the body of a 2xx
// response, or empty bytes when the request fails, the status is not 2xx, or `stop` ends it.
// `timeoutSeconds` bounds connecting and each silence of the server (0 or less: 30 s). `limits`
// caps the body (a body past the cap gives empty bytes, and is never held beyond the cap) and
// bounds the whole download. `failure`, when given, is emptied on success and otherwise says why
// the download failed (the HTTP status, or the transfer's error), for failure reports.
Bytes HttpDownload(std::string_view url, std::stop_token stop = {}, int timeoutSeconds = 0,
                   const TransferLimits& limits = {}, std::string* failure = nullptr);

}  // namespace korvane::platform
