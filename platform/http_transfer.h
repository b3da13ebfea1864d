// One HTTP or HTTPS exchange on libcurl, driven step by step from the calling thread: send the
// request, wait for the final response's headers, then hand out the body as it arrives. Both
// request stacks (platform/http_win_http.h, platform/http_win_inet.h) are built on it.
//
// Every exchange opens and closes its own connection: nothing of one request's connection is
// kept for the next. What the process does share (platform/curl_share.h) is what a platform's own
// HTTP layer keeps per process for every client in it: TLS sessions, so the handshake with a
// server already met this run is resumed instead of done in full (a quarter of the work of a
// document's requests); resolved names; and the cookie store of the calls that leave cookies to
// the platform. The TLS sessions go with the trusted CA setting: changing it drops them, so a
// resumed session never lets through a server that a full handshake would refuse.
#pragma once

// std::chrono comes in through <thread>: <chrono> itself holds a micro sign that GBK lacks.
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/transfer_limits.h"

namespace korvane::platform {

// Everything one exchange needs; texts are the bytes that go on the wire.
struct TransferSettings {
  std::string url;   // absolute, scheme http or https, already escaped
  std::string verb;  // "GET", "POST", "HEAD", "PUT"
  std::string body;  // sent when not empty, or always for POST and PUT (then Content-Length: 0)
  std::vector<std::string> headerLines;  // sent verbatim, in order, after Host (an empty value
                                         // too: "X-Empty:" goes out as it is)
  std::string userAgent;                 // sent unless a header line names User-Agent
  std::string proxy;                     // "host:port"; empty: direct (environment ignored)
  std::string proxyUser, proxyPassword;  // Basic, sent to the proxy when both are set
  std::string user, password;            // Basic, sent to the server when both are set
  // Only 301, 302, 303, 307 and 308 are followed, and never from https to http: any other
  // redirect response (status and Location) ends the exchange as its final response.
  bool followRedirects = true;
  long maxRedirects = 10;
  bool allowRedirectToHttps = true;                 // an http URL may be redirected to https
  bool sharedCookies = false;                       // take part in the process-wide cookie store
  std::chrono::milliseconds connectTimeout{30000};  // resolve and connect (and TLS handshake)
  std::chrono::milliseconds idleTimeout{30000};     // longest silence once connected (an
                                                    // upload's progress counts as activity)
  TransferLimits limits;                            // body cap and total deadline
};

class Transfer {
 public:
  explicit Transfer(TransferSettings settings);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Starts the exchange and drives it until the request (headers and body) has gone out.
  // False when it could not be started or failed before that; a stop request counts as failure.
  bool Send(std::stop_token stop);

  // Drives the exchange until the headers of the final response (after any redirects followed)
  // are complete. False when the exchange ended without them or was stopped.
  bool WaitForResponse();

  // Drives the exchange until body bytes are buffered or it has ended. Returns the number of
  // bytes buffered; 0 with `failed` false means the body is complete, 0 with `failed` true that
  // the exchange broke off (closed early, timed out, stopped).
  size_t WaitForData(bool& failed);

  // Moves up to `size` buffered body bytes to `out`; returns how many.
  size_t Take(char* out, size_t size);

  // Waits for body bytes and moves up to `size` of them to `out`: true with `read` 0 once the
  // body is complete, false when the exchange broke off (closed early, timed out, stopped).
  bool Read(char* out, size_t size, size_t& read);

  // Copies the final response's header block to `block`; false when none arrived.
  bool RawHeaders(std::string& block) const;

  // The last complete response header block received (status line, header lines each ending in
  // CR LF, and the empty line), line ends made CR LF. Empty when none arrived.
  const std::string& HeaderBlock() const;

  // Why the exchange failed, in libcurl's words ("SSL certificate problem: ...", "Operation
  // timed out ..."); empty while nothing has failed. For failure reports only.
  std::string FailureText() const;

  // True once a stop request ended the exchange.
  bool Stopped() const;

  // True once the body passed limits.maxBodyBytes (announced or received), which ended the
  // exchange as a failure.
  bool OverLimit() const;

  // True once limits.deadline passed, which ended the exchange as a timeout.
  bool DeadlinePassed() const;

  // Implementation state shared with the libcurl callbacks.
  struct State;

 private:
  bool Drive(bool (*done)(const State&));
  // Records how libcurl ended the exchange, taking a redirect or a proxy's refusal that ended it
  // on purpose as the response.
  void Finish(int curlResult);

  TransferSettings settings_;
  std::unique_ptr<State> state_;
};

// Picks the proxy for a URL's scheme from a proxy list of the "scheme=host:port" or "host:port"
// kind (entries separated by ';' or spaces): the entry for that scheme, else the first entry
// without a scheme, else none (an empty text: go direct).
std::string ProxyForScheme(std::string_view proxyList, std::string_view scheme);

// The Content-Length of a response header block, or -1 when it names none (or no valid one).
long long AnnouncedLength(std::string_view headerBlock);

// "404 Not Found": the first line of a response header block after the protocol word, or the
// whole line when it has no space. For failure reports.
std::string StatusLineText(std::string_view headerBlock);

// True when `text` holds a CR, LF or NUL byte.
bool HasLineBreakOrNul(std::string_view text);

// Splits a header block at CR LF into its lines, skipping empty ones. False when a line is not
// "Name: value" (a name without spaces or controls, then a colon) or holds a CR, LF or NUL that
// is not part of a CR LF: such a text never reaches the wire.
bool SplitHeaderLines(std::string_view block, std::vector<std::string>& lines);

// `text` with every byte that may not appear raw in a request target (controls, space, '"', '<',
// '>', '\\', '^', '`', '{', '|', '}' and bytes from 0x7F) percent-encoded.
std::string EscapeRequestTarget(std::string_view text);

}  // namespace korvane::platform
