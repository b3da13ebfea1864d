// The headless front end's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pipeline/batch_run.h"
#include "pipeline/reply_limits.h"

namespace korvane {

struct CliOptions {
  std::string id = "12527";    // as typed, UTF-8
  std::string folder;          // UTF-8, ends with '/'
  std::string iconLibrary;     // empty: the tool's default
  std::string converter;       // empty: the tool's default
  std::string caFile;          // empty: the system's CAs only
  std::string collectionFile;  // empty: fetch the collection from the icon library
  // Renderer, markup, sizes, names, format, colour, resuming and jobs. The collection text is
  // read by the program from collectionFile.
  BatchOptions batch;
  ReplyLimits limits;  // reply caps and the per-request deadline
  bool help = false;
};

// Parses the arguments after the program name. Returns nullopt and sets `error` for bad usage.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// The usage text.
std::string CliUsage();

}  // namespace korvane
