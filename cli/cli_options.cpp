#include "cli/cli_options.h"

namespace korvane {

std::string CliUsage() {
  return "usage: korvane-cli --folder DIR [--id ID] [--icon-library URL] [--converter URL]\n"
         "                   [--ca-file PEM] [--download-cap MIB] [--status-cap MIB]\n"
         "                   [--collection-cap MIB] [--request-deadline SEC]\n"
         "Saves every icon of one collection as a PNG file in DIR.\n"
         "  --folder DIR         the download folder (must exist; its name must be GBK text)\n"
         "  --id ID              the collection's ID (default 12527)\n"
         "  --icon-library URL   base URL of the icon library (e.g. http://127.0.0.1:8080)\n"
         "  --converter URL      base URL of the conversion service (https)\n"
         "  --ca-file PEM        also trust the CA certificates in this file\n" +
         ReplyLimitUsage() +
         "Each document given up gets a line on standard error that says why.\n"
         "Exit status: 0 all saved, 1 some failed, 2 bad usage (a folder name that GBK cannot\n"
         "spell included) or unreadable collection, 130 cancelled.\n";
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
  CliOptions options;
  bool folderGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
    if (ApplyReplyLimitOption(arg, next, options.limits, error)) {
      if (!error.empty())
        return std::nullopt;
      ++i;
      continue;
    }
    std::string* target = nullptr;
    if (arg == "--id") {
      target = &options.id;
    } else if (arg == "--folder") {
      target = &options.folder;
      folderGiven = true;
    } else if (arg == "--icon-library") {
      target = &options.iconLibrary;
    } else if (arg == "--converter") {
      target = &options.converter;
    } else if (arg == "--ca-file") {
      target = &options.caFile;
    } else {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    *target = args[++i];
  }
  if (!folderGiven || options.folder.empty()) {
    error = "--folder is required";
    return std::nullopt;
  }
  if (options.folder.back() != '/')
    options.folder.push_back('/');
  for (std::string* url : {&options.iconLibrary, &options.converter}) {
    while (!url->empty() && url->back() == '/')
      url->pop_back();
  }
  return options;
}

}  // namespace korvane
