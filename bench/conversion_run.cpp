// A whole conversion run measured from outside: a generated collection (1,000 icons by default)
// goes through korvane-cli against the stand-in services answering 100 on the first status poll,
// and the client's wall time, CPU time per document and peak memory are taken from the kernel's
// accounting of the child process. Beside it, rsvg-convert renders the same standalone documents
// once per document, in the same run, as a yardstick. Prints the figures and whether the targets
// (client CPU under 5 ms per document, peak memory under 100 MB) are met.
// Usage: bench_conversion_run [--icons N]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "pipeline/icon_documents.h"

namespace {

using namespace korvane::bench;

constexpr int kSize = 256;  // the stand-in's default longer side, and rsvg-convert's box
constexpr char kCollectionId[] = "bench1000";
constexpr double kTargetCpuMsPerDocument = 5.0;
constexpr double kTargetPeakMegabytes = 100.0;

// The document the tool builds for an icon whose markup has one svg element: the run from the
// first "<path d=" to "</svg>" in the document template.
std::string StandaloneDocument(const std::string& markup) {
  const size_t begin = markup.find("<path d=") + std::strlen("<path d=");
  const size_t end = markup.find("</svg>", begin);
  return korvane::FillDocumentTemplate(std::string_view(markup).substr(begin, end - begin),
                                       kViewBox);
}

bool WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int CountPngs(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".png")
      ++count;
  }
  return count;
}

struct RsvgFigures {
  int failures = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long peakKilobytes = 0;
};

RsvgFigures RunRsvgConvert(const std::vector<fs::path>& documents, const fs::path& outDir,
                           int devNull) {
  RsvgFigures figures;
  const double started = NowSeconds();
  const std::string size = std::to_string(kSize);
  for (size_t i = 0; i < documents.size(); ++i) {
    const fs::path png = outDir / (std::to_string(i + 1) + ".png");
    const double begin = NowSeconds();
    const pid_t pid = Spawn(
        {"rsvg-convert", "-w", size, "-h", size, "-a", "-o", png.string(), documents[i].string()},
        devNull, -1);
    const ChildResult result = Wait(pid, begin);
    if (result.exitCode != 0)
      ++figures.failures;
    figures.cpuSeconds += CpuSeconds(result.usage);
    figures.peakKilobytes = std::max(figures.peakKilobytes, result.usage.ru_maxrss);
  }
  figures.wallSeconds = NowSeconds() - started;
  return figures;
}

int Usage(const char* program) {
  std::fprintf(stderr, "Usage: %s [--icons N]   (N from 1 to 100000, default 1000)\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int icons = 1000;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--icons" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), icons);
      if (ec != std::errc() || end != value.data() + value.size() || icons < 1 || icons > 100000) {
        return Usage(argv[0]);
      }
    } else {
      return Usage(argv[0]);
    }
  }
  // The stand-in's stdout pipe is closed once its three lines are read.
  signal(SIGPIPE, SIG_IGN);

  std::string pattern = (fs::temp_directory_path() / "korvane_conversion_run_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  const fs::path collections = root / "collections", cliOut = root / "cli_out",
                 documentsDir = root / "documents", rsvgOut = root / "rsvg_out";
  for (const fs::path& dir : {collections, cliOut, documentsDir, rsvgOut})
    fs::create_directories(dir);
  struct Cleanup {
    fs::path root;
    ~Cleanup() {
      std::error_code ignored;
      fs::remove_all(root, ignored);
    }
  } cleanup{root};

  // The collection and the standalone documents the tool will build from it.
  std::mt19937 random(20240601);
  std::vector<std::string> markups;
  std::vector<fs::path> documents;
  int pathCount = 0;
  for (int i = 0; i < icons; ++i) {
    markups.push_back(IconMarkup(random));
    // All of an icon's paths go into one document: the run ends at the single "</svg>".
    if (korvane::CountPathRuns(markups.back()) != 1) {
      std::fprintf(stderr, "icon %d: expected one path run\n", i + 1);
      return 1;
    }
    for (size_t p = markups.back().find("<path "); p != std::string::npos;
         p = markups.back().find("<path ", p + 1)) {
      ++pathCount;
    }
    documents.push_back(documentsDir / (std::to_string(i + 1) + ".svg"));
    if (!WriteFile(documents.back(), StandaloneDocument(markups.back()))) {
      std::fprintf(stderr, "cannot write %s\n", documents.back().c_str());
      return 1;
    }
  }
  if (!WriteFile(collections / (std::string(kCollectionId) + ".json"),
                 CollectionJson(markups, kCollectionId))) {
    std::fprintf(stderr, "cannot write the collection\n");
    return 1;
  }
  const int documentCount = icons;

  const int devNull = open("/dev/null", O_WRONLY);
  const fs::path cliErrors = root / "cli_stderr.txt";
  const int errFd = open(cliErrors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  Standin standin;
  if (!standin.Start(KORVANE_STANDIN_PROGRAM, collections, root / "ca.pem", 0, kSize)) {
    std::fprintf(stderr, "the stand-in did not start (%s)\n", KORVANE_STANDIN_PROGRAM);
    return 1;
  }

  std::printf("%d icons (%d paths), one document each; stand-in answers 100 on the first poll\n",
              icons, pathCount);
  std::fflush(stdout);
  const double cliStarted = NowSeconds();
  const pid_t cliPid = Spawn({KORVANE_CLI_PROGRAM, "--folder", cliOut.string() + "/", "--id",
                              kCollectionId, "--icon-library", standin.Library(), "--converter",
                              standin.Converter(), "--ca-file", standin.Ca()},
                             devNull, errFd);
  const ChildResult cli = Wait(cliPid, cliStarted);
  const ChildResult server = standin.Stop();
  const int pngs = CountPngs(cliOut);

  const RsvgFigures rsvg = RunRsvgConvert(documents, rsvgOut, devNull);
  const int rsvgPngs = CountPngs(rsvgOut);
  close(devNull);
  close(errFd);

  const double cliCpu = CpuSeconds(cli.usage);
  const double cliCpuMs = pngs > 0 ? cliCpu * 1e3 / pngs : 0;
  const double cliPeakMb = static_cast<double>(cli.usage.ru_maxrss) / 1024.0;
  const double rsvgCpuMs = rsvg.cpuSeconds * 1e3 / documentCount;

  std::printf("\n%-34s %14s %14s\n", "", "korvane-cli", "rsvg-convert");
  std::printf("%-34s %14d %14d\n", "documents", documentCount, documentCount);
  std::printf("%-34s %14d %14d\n", "PNGs written", pngs, rsvgPngs);
  std::printf("%-34s %14.2f %14.2f\n", "wall s", cli.wallSeconds, rsvg.wallSeconds);
  std::printf("%-34s %14.2f %14.2f\n", "wall ms/doc", cli.wallSeconds * 1e3 / documentCount,
              rsvg.wallSeconds * 1e3 / documentCount);
  std::printf("%-34s %14.2f %14.2f\n", "CPU (user+sys) s", cliCpu, rsvg.cpuSeconds);
  std::printf("%-34s %14.3f %14.3f\n", "CPU ms/doc", cliCpuMs, rsvgCpuMs);
  std::printf("%-34s %14.1f %14.1f\n", "peak RSS MB (rsvg: largest run)", cliPeakMb,
              static_cast<double>(rsvg.peakKilobytes) / 1024.0);
  std::printf("%-34s %14.2f\n", "stand-in CPU s (server, apart)", CpuSeconds(server.usage));
  std::printf("\nratio korvane-cli / rsvg-convert: wall %.2f, CPU per document %.2f\n",
              rsvg.wallSeconds > 0 ? cli.wallSeconds / rsvg.wallSeconds : 0,
              rsvgCpuMs > 0 ? cliCpuMs / rsvgCpuMs : 0);
  std::printf(
      "(the client's wall time includes the stand-in's rendering; rsvg-convert's CPU "
      "includes its start-up, once per document)\n");

  bool ok = true;
  if (cli.exitCode != 0 || pngs != documentCount) {
    ok = false;
    std::printf("\nkorvane-cli exited with %d and wrote %d of %d PNGs; its standard error:\n",
                cli.exitCode, pngs, documentCount);
    std::ifstream errors(cliErrors);
    std::string line;
    for (int n = 0; n < 20 && std::getline(errors, line); ++n)
      std::printf("  %s\n", line.c_str());
  }
  if (rsvg.failures > 0 || rsvgPngs != documentCount) {
    ok = false;
    std::printf("\nrsvg-convert failed on %d documents and wrote %d PNGs\n", rsvg.failures,
                rsvgPngs);
  }
  const bool cpuMet = pngs > 0 && cliCpuMs < kTargetCpuMsPerDocument;
  const bool memoryMet = cliPeakMb < kTargetPeakMegabytes;
  std::printf("\ntarget client CPU < %.0f ms/doc: %s (%.3f)\n", kTargetCpuMsPerDocument,
              cpuMet ? "met" : "NOT met", cliCpuMs);
  std::printf("target client peak memory < %.0f MB: %s (%.1f)\n", kTargetPeakMegabytes,
              memoryMet ? "met" : "NOT met", cliPeakMb);
  return ok ? 0 : 1;
}
