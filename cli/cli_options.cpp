#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>

#include "pipeline/full_document.h"

namespace korvane {
namespace {

constexpr int kMostJobs = 64;
constexpr int kLargestSize = 8192;

// A whole decimal number from `low` to `high`, nothing around it.
std::optional<int> ParseNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

template <typename Enum>
std::optional<Enum> ParseChoice(std::string_view text,
                                std::initializer_list<std::pair<std::string_view, Enum>> choices) {
  for (const auto& [name, value] : choices) {
    if (text == name)
      return value;
  }
  return std::nullopt;
}

}  // namespace

std::string CliUsage() {
  return "usage: korvane-cli --folder DIR [--id ID] [--icon-library URL] [--converter URL]\n"
         "                   [--ca-file PEM] [--renderer service|local] [--markup paths|full]\n"
         "                   [--size PX[,PX...]] [--names time|icon|id] [--format png|svg|both]\n"
         "                   [--color #RRGGBB] [--skip-existing] [--collection-file FILE]\n"
         "                   [--jobs N] [--download-cap MIB] [--status-cap MIB]\n"
         "                   [--collection-cap MIB] [--request-deadline SEC]\n"
         "Saves every icon of one collection as a PNG file in DIR.\n"
         "  --folder DIR         the download folder (must exist; its name must be GBK text)\n"
         "  --id ID              the collection's ID (default 12527)\n"
         "  --icon-library URL   base URL of the icon library (e.g. http://127.0.0.1:8080)\n"
         "  --converter URL      base URL of the conversion service (https)\n"
         "  --ca-file PEM        also trust the CA certificates in this file\n"
         "  --renderer KIND      service: the online conversion service (default);\n"
         "                       local: draw in this process with librsvg, no network\n"
         "  --markup KIND        paths: the path runs of the markup in the tool's template\n"
         "                       (default for the service); full: the whole svg element\n"
         "                       (default for the local renderer)\n"
         "  --size PX[,PX...]    longer side in pixels, 1 to 8192 (local renderer; default\n"
         "                       256); several sizes: one subfolder per size\n"
         "  --names KIND         time: time of day (default); icon: the icon's name;\n"
         "                       id: the icon's id\n"
         "  --format KIND        png (default), svg (the documents) or both\n"
         "  --color #RRGGBB      recolour every paint of the icons except none\n"
         "  --skip-existing      skip icons whose files are there (with --names icon or id)\n"
         "  --collection-file F  read the collection reply from F instead of fetching it\n"
         "  --jobs N             convert N documents at once, 1 to 64 (default 1)\n" +
         ReplyLimitUsage() +
         "Each document given up gets a line on standard error that says why.\n"
         "Exit status: 0 all saved, 1 some failed, 2 bad usage (a folder name that GBK cannot\n"
         "spell included) or unreadable collection, 130 cancelled.\n";
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
  CliOptions options;
  BatchOptions& batch = options.batch;
  bool folderGiven = false;
  bool markupGiven = false;
  const auto bad = [&](const std::string& arg, const std::string& value, const char* expected) {
    error = "bad value for " + arg + ": '" + value + "' (expected " + expected + ")";
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    {
      const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
      if (ApplyReplyLimitOption(arg, next, options.limits, error)) {
        if (!error.empty())
          return std::nullopt;
        ++i;
        continue;
      }
    }
    if (arg == "--skip-existing") {
      batch.skipExisting = true;
      continue;
    }
    static const std::vector<std::string> kValued = {
        "--id",       "--folder",          "--icon-library", "--converter", "--ca-file",
        "--renderer", "--markup",          "--size",         "--names",     "--format",
        "--color",    "--collection-file", "--jobs"};
    if (std::find(kValued.begin(), kValued.end(), arg) == kValued.end()) {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--id") {
      options.id = value;
    } else if (arg == "--folder") {
      options.folder = value;
      folderGiven = true;
    } else if (arg == "--icon-library") {
      options.iconLibrary = value;
    } else if (arg == "--converter") {
      options.converter = value;
    } else if (arg == "--ca-file") {
      options.caFile = value;
    } else if (arg == "--renderer") {
      const auto kind = ParseChoice<RendererKind>(
          value, {{"service", RendererKind::kService}, {"local", RendererKind::kLocal}});
      if (!kind)
        return bad(arg, value, "service or local");
      batch.renderer = *kind;
    } else if (arg == "--markup") {
      const auto kind = ParseChoice<MarkupKind>(
          value, {{"paths", MarkupKind::kPaths}, {"full", MarkupKind::kFull}});
      if (!kind)
        return bad(arg, value, "paths or full");
      batch.markup = *kind;
      markupGiven = true;
    } else if (arg == "--names") {
      const auto kind = ParseChoice<NameKind>(
          value, {{"time", NameKind::kTime}, {"icon", NameKind::kIcon}, {"id", NameKind::kId}});
      if (!kind)
        return bad(arg, value, "time, icon or id");
      batch.names = *kind;
    } else if (arg == "--format") {
      const auto kind = ParseChoice<OutputFormat>(value, {{"png", OutputFormat::kPng},
                                                          {"svg", OutputFormat::kSvg},
                                                          {"both", OutputFormat::kBoth}});
      if (!kind)
        return bad(arg, value, "png, svg or both");
      batch.format = *kind;
    } else if (arg == "--color") {
      if (!IsHexColor(value))
        return bad(arg, value, "#RRGGBB");
      batch.color = value;
    } else if (arg == "--size") {
      batch.sizes.clear();
      size_t start = 0;
      for (;;) {
        const size_t comma = value.find(',', start);
        const std::string_view part = std::string_view(value).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto size = ParseNumber(part, 1, kLargestSize);
        if (!size)
          return bad(arg, value, "pixel sizes from 1 to 8192, separated by commas");
        if (std::find(batch.sizes.begin(), batch.sizes.end(), *size) != batch.sizes.end())
          return bad(arg, value, "each size once");
        batch.sizes.push_back(*size);
        if (comma == std::string::npos)
          break;
        start = comma + 1;
      }
    } else if (arg == "--collection-file") {
      if (value.empty())
        return bad(arg, value, "a file name");
      options.collectionFile = value;
    } else if (arg == "--jobs") {
      const auto jobs = ParseNumber(value, 1, kMostJobs);
      if (!jobs)
        return bad(arg, value, "a number from 1 to 64");
      batch.jobs = *jobs;
    }
  }
  if (!folderGiven || options.folder.empty()) {
    error = "--folder is required";
    return std::nullopt;
  }
  if (!markupGiven)
    batch.markup = batch.renderer == RendererKind::kLocal ? MarkupKind::kFull : MarkupKind::kPaths;
  if (!batch.sizes.empty() && batch.renderer != RendererKind::kLocal) {
    error = "--size needs --renderer local (the service chooses its own size)";
    return std::nullopt;
  }
  if (batch.skipExisting && batch.names == NameKind::kTime) {
    error = "--skip-existing needs --names icon or --names id (time names change every run)";
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
