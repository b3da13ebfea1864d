// Takes a request URL apart for a connection (host, port, object path) and reads the value of a
// header line, by fixed text rules rather than a URL parser: what they return for odd input is
// part of their contract.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The host of `url`, lower-cased (ASCII letters only): the text after the first "https://" (when
// the URL starts with it) or the first "http://" (put in front when the URL has none) up to the
// next "/" (one is assumed at the end). With `keepPort` the ":port" suffix stays; otherwise the
// host ends at its first ":". A query right after the host belongs to it.
std::string UrlHost(std::string_view url, bool keepPort = false);

// The port written in `url` (the leading digits after the last ":" of its host; 0 when none
// follow that ":", 2147483647 for more than that), else 443 when `url` starts with "https" in
// any case, else 80.
int UrlPort(std::string_view url);

// The path and query of `url` as written: from the first "/" at or after where the host occurs
// (searched ignoring case) to the end; "/" when there is none.
std::string UrlPath(std::string_view url);

// The text after the first ":" of a header line, trimmed of ASCII and full-width spaces; empty
// when there is no ":".
std::string HeaderValue(std::string_view headerText);

}  // namespace korvane
