#include "pipeline/reply_limits.h"

#include <charconv>
#include <limits>

namespace korvane {
namespace {

// A whole number from 1 to `max`; false for anything else (signs, blanks, units, overflow).
bool ParseCount(std::string_view text, long long max, long long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 1 &&
         value <= max;
}

}  // namespace

bool IsReplyLimitOption(std::string_view name) {
  return name == "--download-cap" || name == "--status-cap" || name == "--collection-cap" ||
         name == "--request-deadline";
}

bool ApplyReplyLimitOption(std::string_view name, std::string_view value, ReplyLimits& limits,
                           std::string& error) {
  std::size_t* bytes = nullptr;
  if (name == "--download-cap")
    bytes = &limits.downloadBytes;
  else if (name == "--status-cap")
    bytes = &limits.statusReplyBytes;
  else if (name == "--collection-cap")
    bytes = &limits.collectionBytes;
  else if (name != "--request-deadline")
    return false;
  long long number = 0;
  // Caps up to 1 TiB, deadlines up to a day: far beyond any reply, and no overflow on the way.
  const long long max = bytes ? 1LL << 20 : 86400;
  if (!ParseCount(value, max, number)) {
    error = std::string(name) + " needs a whole number from 1 to " + std::to_string(max) + ": " +
            std::string(value);
    return true;
  }
  if (bytes)
    *bytes = static_cast<std::size_t>(number) * kMiB;
  else
    limits.requestDeadlineSeconds = static_cast<int>(number);
  return true;
}

std::string ReplyLimitUsage() {
  return "  --download-cap MIB       largest PNG download in MiB (default 64)\n"
         "  --status-cap MIB         largest reply of the conversion service in MiB (default 1)\n"
         "  --collection-cap MIB     largest collection in MiB (default 256)\n"
         "  --request-deadline SEC   longest any one request may take in seconds (default 120)\n";
}

}  // namespace korvane
