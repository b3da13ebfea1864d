#include "platform/http_download.h"

#include "platform/http_transfer.h"

namespace korvane::platform {
namespace {

// The status code of the first line of a response header block, or 0.
int StatusCode(std::string_view headerBlock) {
  const size_t space = headerBlock.find(' ');
  if (space == std::string_view::npos)
    return 0;
  int code = 0;
  for (size_t i = space + 1; i < headerBlock.size() && i < space + 4; ++i) {
    const char c = headerBlock[i];
    if (c < '0' || c > '9')
      return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

}  // namespace

Bytes HttpDownload(std::string_view url, std::stop_token stop, int timeoutSeconds,
                   const TransferLimits& limits, std::string* failure) {
  const auto fail = [failure](std::string reason) {
    if (failure)
      *failure = std::move(reason);
    return Bytes();
  };
  if (url.empty() || HasLineBreakOrNul(url))
    return fail("not a URL that can be requested");
  TransferSettings settings;
  settings.url = EscapeRequestTarget(url);
  settings.verb = "GET";
  if (timeoutSeconds > 0) {
    settings.connectTimeout = std::chrono::seconds(timeoutSeconds);
    settings.idleTimeout = std::chrono::seconds(timeoutSeconds);
  }
  settings.limits = limits;
  Transfer transfer(std::move(settings));
  if (!transfer.Send(stop) || !transfer.WaitForResponse())
    return fail(transfer.FailureText());
  const int status = StatusCode(transfer.HeaderBlock());
  if (status < 200 || status > 299)
    return fail("HTTP " + StatusLineText(transfer.HeaderBlock()));
  Bytes body;
  // Room for an announced body within the cap at once, so it is never copied while it grows.
  const long long announced = AnnouncedLength(transfer.HeaderBlock());
  if (announced > 0 && limits.maxBodyBytes > 0 &&
      static_cast<unsigned long long>(announced) <= limits.maxBodyBytes)
    body.reserve(static_cast<size_t>(announced));
  char chunk[16384];
  size_t read = 0;
  do {
    if (!transfer.Read(chunk, sizeof chunk, read))
      return fail(transfer.FailureText() + " (after " + std::to_string(body.size()) + " bytes)");
    body.append(chunk, read);
  } while (read > 0);
  if (failure)
    failure->clear();
  return body;
}

}  // namespace korvane::platform
