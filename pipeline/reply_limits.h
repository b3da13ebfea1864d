// The caps on what one conversion run takes in, in one place: no real reply comes near them, and
// passing one fails that request cleanly instead of letting a hostile or broken server fill the
// memory. Both front ends may change them with options (`--collection-cap` and the others).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/transfer_limits.h"

namespace korvane {

inline constexpr std::size_t kMiB = std::size_t{1} << 20;

// A downloaded PNG.
inline constexpr std::size_t kDownloadCapBytes = 64 * kMiB;
// A reply of the conversion service to the upload, the conversion request and each status poll.
inline constexpr std::size_t kStatusReplyCapBytes = 1 * kMiB;
// The collection's JSON.
inline constexpr std::size_t kCollectionCapBytes = 256 * kMiB;
// The longest any one request of a run may take from start to end, however the server drips it.
inline constexpr int kRequestDeadlineSeconds = 120;

struct ReplyLimits {
  std::size_t downloadBytes = kDownloadCapBytes;
  std::size_t statusReplyBytes = kStatusReplyCapBytes;
  std::size_t collectionBytes = kCollectionCapBytes;
  int requestDeadlineSeconds = kRequestDeadlineSeconds;

  // The transfer limits of one request with the body cap `capBytes`.
  platform::TransferLimits For(std::size_t capBytes) const {
    return {.maxBodyBytes = capBytes, .deadline = std::chrono::seconds(requestDeadlineSeconds)};
  }
};

// The options that change the caps, as both front ends read them: `--download-cap MIB`,
// `--status-cap MIB`, `--collection-cap MIB` (whole mebibytes) and `--request-deadline SECONDS`,
// each a whole number from 1. True when `name` is one of them; then `error` is set when `value`
// is not a valid number for it.
bool ApplyReplyLimitOption(std::string_view name, std::string_view value, ReplyLimits& limits,
                           std::string& error);

// True when `name` is one of the options above.
bool IsReplyLimitOption(std::string_view name);

// One usage line per option above, each starting with two spaces and ending in a line break.
std::string ReplyLimitUsage();

}  // namespace korvane
