// The program's options. With none it talks to the services' own hosts; the options point it at
// other ones (the local stand-ins, a self-hosted converter) and at a CA file for HTTPS.
#pragma once

#include <string>
#include <vector>

#include "pipeline/conversion_context.h"

namespace korvane {

struct CommandLine {
  ServiceEndpoints endpoints;
  std::string caFile;  // empty: the system's trusted CAs
  ReplyLimits limits;  // reply caps and the per-request deadline
  std::string error;   // not empty when the arguments cannot be used
};

// Reads `--icon-library URL`, `--converter URL`, `--ca-file PEM` and the reply-limit options of
// pipeline/reply_limits.h (each also as `--name=value`).
// URLs must start with http:// or https://; a trailing slash is dropped. Any other argument is
// an error.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Trusts the CA certificates of `caFile` for HTTPS from now on (nothing to do when it is empty).
// Returns an error text, and changes nothing, when the file is missing or cannot be read.
std::string TrustCaFile(const std::string& caFile);

// One line per option, for the error message.
std::string CommandLineUsage();

}  // namespace korvane
