#include "standin/behaviour.h"

#include <array>
#include <utility>

namespace korvane::standin {
namespace {

constexpr std::array<std::pair<Mode, std::string_view>, 13> kModeNames = {{
    {Mode::kNormal, "normal"},
    {Mode::kNeverFinish, "never-finish"},
    {Mode::kStringProgress, "string-progress"},
    {Mode::kUnicodeEscapes, "u-escapes"},
    {Mode::kStall, "stall"},
    {Mode::kServerError, "http-500"},
    {Mode::kEmptyDownload, "empty-download"},
    {Mode::kNotPng, "not-png"},
    {Mode::kSlowDrip, "slow-drip"},
    {Mode::kGarbage, "garbage"},
    {Mode::kTruncatedPng, "truncated-png"},
    {Mode::kBadCrc, "bad-crc"},
    {Mode::kNoIend, "no-iend"},
}};

constexpr std::array<std::pair<unsigned, std::string_view>, 6> kEndpointNames = {{
    {kCollectionEndpoint, "collection"},
    {kIndexEndpoint, "index"},
    {kUploadEndpoint, "upload"},
    {kConvertEndpoint, "convert"},
    {kStatusEndpoint, "status"},
    {kDownloadEndpoint, "download"},
}};

}  // namespace

std::string_view ModeName(Mode mode) {
  for (const auto& [m, name] : kModeNames) {
    if (m == mode)
      return name;
  }
  return "normal";
}

std::optional<Mode> ParseMode(std::string_view name) {
  for (const auto& [m, n] : kModeNames) {
    if (n == name)
      return m;
  }
  return std::nullopt;
}

unsigned DefaultEndpoints(Mode mode) {
  switch (mode) {
    case Mode::kNormal:
      return 0;
    case Mode::kNeverFinish:
    case Mode::kStringProgress:
      return kStatusEndpoint;
    case Mode::kUnicodeEscapes:
    case Mode::kGarbage:
      return kStatusEndpoint | kCollectionEndpoint;
    case Mode::kEmptyDownload:
    case Mode::kNotPng:
    case Mode::kTruncatedPng:
    case Mode::kBadCrc:
    case Mode::kNoIend:
      return kDownloadEndpoint;
    case Mode::kStall:
    case Mode::kServerError:
    case Mode::kSlowDrip:
      return kAllEndpoints;
  }
  return 0;
}

std::optional<unsigned> ParseEndpoints(std::string_view list) {
  unsigned mask = 0;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    bool known = false;
    for (const auto& [bit, name] : kEndpointNames) {
      if (name == item) {
        mask |= bit;
        known = true;
      }
    }
    if (!known)
      return std::nullopt;
    if (comma == std::string_view::npos)
      break;
    list.remove_prefix(comma + 1);
    if (list.empty())
      return std::nullopt;
  }
  if (mask == 0)
    return std::nullopt;
  return mask;
}

}  // namespace korvane::standin
