// korvane-standin: runs the stand-in icon library and conversion service until SIGINT or
// SIGTERM, printing where they listen and where the CA certificate is.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "standin/behaviour.h"
#include "standin/standin_server.h"

namespace {

using korvane::standin::Mode;
using korvane::standin::StandinOptions;

constexpr char kUsage[] =
    "Usage: korvane-standin [options]\n"
    "Serves a stand-in icon library (HTTP) and SVG-to-PNG conversion service (HTTPS) on\n"
    "127.0.0.1 until interrupted.\n"
    "\n"
    "  --collections DIR    serve the <id>.json files of DIR beside the bundled samples\n"
    "                       (may be given more than once; DIR wins over the samples)\n"
    "  --library-port N     port of the icon library (0 or absent: a free port)\n"
    "  --service-port N     port of the conversion service (0 or absent: a free port)\n"
    "  --ca-out FILE        write the CA certificate there (default: a temporary file)\n"
    "  --size PX            longer side of the rendered PNG (default 256)\n"
    "  --polls N            status replies below 100 before the one that reads 100 (default 2)\n"
    "  --mode MODE[@LIST]   misbehave on purpose; MODE is one of normal, never-finish,\n"
    "                       string-progress, u-escapes, stall, http-500, empty-download,\n"
    "                       not-png, slow-drip, garbage, truncated-png, bad-crc, no-iend;\n"
    "                       LIST names the requests it applies to\n"
    "                       (collection,index,upload,convert,status,download)\n"
    "  --help               show this text\n"
    "\n"
    "On start it prints three lines:\n"
    "  icon-library http://127.0.0.1:PORT\n"
    "  converter https://127.0.0.1:PORT\n"
    "  ca /path/to/ca.pem\n";

bool ParseInt(std::string_view text, int min, int max, int& out) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return false;
  }
  out = value;
  return true;
}

int UsageError(const std::string& message) {
  std::cerr << "korvane-standin: " << message << "\n"
            << "Try 'korvane-standin --help'.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  StandinOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    const bool takesValue = arg == "--collections" || arg == "--library-port" ||
                            arg == "--service-port" || arg == "--ca-out" || arg == "--size" ||
                            arg == "--polls" || arg == "--mode";
    if (!takesValue)
      return UsageError("unknown option " + std::string(arg));
    if (i + 1 >= argc)
      return UsageError(std::string(arg) + " needs a value");
    const std::string_view value = argv[++i];
    if (arg == "--collections") {
      options.collectionDirs.emplace_back(value);
    } else if (arg == "--library-port") {
      if (!ParseInt(value, 0, 65535, options.libraryPort))
        return UsageError("bad port");
    } else if (arg == "--service-port") {
      if (!ParseInt(value, 0, 65535, options.servicePort))
        return UsageError("bad port");
    } else if (arg == "--ca-out") {
      if (value.empty())
        return UsageError("--ca-out needs a file name");
      options.caOut = value;
    } else if (arg == "--size") {
      if (!ParseInt(value, 1, 8192, options.size))
        return UsageError("--size takes 1 to 8192");
    } else if (arg == "--polls") {
      if (!ParseInt(value, 0, 1000, options.polls))
        return UsageError("--polls takes 0 to 1000");
    } else if (arg == "--mode") {
      const size_t at = value.find('@');
      const auto mode = korvane::standin::ParseMode(value.substr(0, at));
      if (!mode)
        return UsageError("unknown mode " + std::string(value.substr(0, at)));
      options.mode = *mode;
      if (at != std::string_view::npos) {
        const auto endpoints = korvane::standin::ParseEndpoints(value.substr(at + 1));
        if (!endpoints)
          return UsageError("bad request list in " + std::string(value));
        options.modeEndpoints = *endpoints;
      }
    }
  }

  // The signals are taken by a waiting thread rather than a handler, so stopping runs as
  // ordinary code.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A peer that hangs up mid-reply must not end the process.
  signal(SIGPIPE, SIG_IGN);

  try {
    korvane::standin::StandinServer server(options);
    std::cout << "icon-library " << server.LibraryUrl() << "\n"
              << "converter " << server.ServiceUrl() << "\n"
              << "ca " << server.CaPath() << std::endl;
    int received = 0;
    sigwait(&signals, &received);
    server.Stop();
  } catch (const std::exception& e) {
    std::cerr << "korvane-standin: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
