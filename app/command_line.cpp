#include "app/command_line.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/http_trust.h"

namespace korvane {
namespace {

bool IsHttpUrl(std::string_view url) {
  for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (url.size() > scheme.size() && url.substr(0, scheme.size()) == scheme) {
      return true;
    }
  }
  return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      hasValue = true;
    }
    const bool limitOption = IsReplyLimitOption(name);
    if (name != "--icon-library" && name != "--converter" && name != "--ca-file" && !limitOption) {
      result.error = "unknown argument: " + args[i];
      break;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        result.error = name + " needs a value";
        break;
      }
      value = args[++i];
    }
    if (limitOption) {
      ApplyReplyLimitOption(name, value, result.limits, result.error);
      continue;
    }
    if (name == "--ca-file") {
      if (value.empty()) {
        result.error = "--ca-file needs a file name";
      }
      result.caFile = value;
      continue;
    }
    if (!IsHttpUrl(value)) {
      result.error = name + " needs an http:// or https:// URL: " + value;
      break;
    }
    while (value.ends_with('/') && !value.ends_with("://")) {
      value.pop_back();
    }
    (name == "--icon-library" ? result.endpoints.iconLibrary : result.endpoints.converter) = value;
  }
  return result;
}

std::string TrustCaFile(const std::string& caFile) {
  if (caFile.empty()) {
    return {};
  }
  // Checked here so that a mistyped name is reported at start, not as a failed conversion of
  // every icon later on.
  std::error_code error;
  if (!std::filesystem::is_regular_file(caFile, error) || !std::ifstream(caFile).good()) {
    return "--ca-file: cannot read the CA file " + caFile;
  }
  platform::SetTrustedCaFile(caFile);
  return {};
}

std::string CommandLineUsage() {
  return "usage: korvane [--icon-library URL] [--converter URL] [--ca-file PEM]\n"
         "               [--download-cap MIB] [--status-cap MIB] [--collection-cap MIB]\n"
         "               [--request-deadline SEC]\n"
         "  --icon-library URL  the icon library's base URL (collections and their page)\n"
         "  --converter URL     the SVG-to-PNG conversion service's base URL\n"
         "  --ca-file PEM       trust the CA certificates in this PEM file for HTTPS\n" +
         ReplyLimitUsage();
}

}  // namespace korvane
