// The ways the stand-in services can misbehave on purpose, so tests and demos can show how the
// tool copes with a conversion that never ends, odd replies, stalls and broken downloads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane::standin {

enum class Mode {
  kNormal,          // everything answers as a healthy service does
  kNeverFinish,     // status replies climb but stay below 100
  kStringProgress,  // "progress" is sent as a string ("100" with its quotes)
  kUnicodeEscapes,  // JSON replies spell the member name and non-ASCII text as \uXXXX escapes
  kStall,           // the request gets no answer (until the mode changes or the server stops)
  kServerError,     // HTTP 500
  kEmptyDownload,   // the download answers 200 with no bytes
  kNotPng,          // the download answers an HTML page instead of a PNG
  kSlowDrip,        // the reply body trickles out a few bytes at a time
  kGarbage,         // a reply that is not JSON where JSON is expected
  kTruncatedPng,    // the download is the PNG cut off in the middle of a chunk
  kBadCrc,          // the download is the PNG with one byte of its image data changed
  kNoIend,          // the download is the PNG without its closing IEND chunk
};

// The requests a mode can apply to; a mode is active on a bitwise or of these.
enum Endpoint : unsigned {
  kCollectionEndpoint = 1u << 0,
  kIndexEndpoint = 1u << 1,
  kUploadEndpoint = 1u << 2,
  kConvertEndpoint = 1u << 3,
  kStatusEndpoint = 1u << 4,
  kDownloadEndpoint = 1u << 5,
  kAllEndpoints = (1u << 6) - 1,
};

// The command-line name of a mode ("normal", "never-finish", "string-progress", "u-escapes",
// "stall", "http-500", "empty-download", "not-png", "slow-drip", "garbage", "truncated-png",
// "bad-crc", "no-iend").
std::string_view ModeName(Mode mode);
std::optional<Mode> ParseMode(std::string_view name);

// The requests a mode applies to when none are named: the download for the download faults, the
// status (and the collection, for the JSON faults) for the reply faults, everything for stalls,
// errors and the drip.
unsigned DefaultEndpoints(Mode mode);

// The command-line name of an endpoint ("collection", "index", "upload", "convert", "status",
// "download"), and a comma-separated list of them parsed into a mask (nothing on an unknown name).
std::optional<unsigned> ParseEndpoints(std::string_view list);

}  // namespace korvane::standin
