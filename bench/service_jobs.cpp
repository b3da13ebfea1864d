// Several jobs on the service path: korvane-cli converts a generated collection (100 icons by
// default) through the stand-in service, which answers one pending status poll per icon before
// 100 (so each document waits the tool's one-second pause once), with --jobs 1 and with more jobs,
// taking turns (1, N, 1, N ...). Prints the median and spread of the wall time of each and the
// speed-up, against the target of at least 6 times with 8 jobs.
// Usage: bench_service_jobs [--icons N] [--rounds R] [--jobs N]
#include <algorithm>
#include <charconv>
#include <fstream>

#include "bench_support.h"

namespace {

using namespace korvane::bench;
constexpr double kTargetSpeedUp = 6;

int CountFiles(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    count += entry.path().extension() == ".png";
  return count;
}

bool ParseArg(int argc, char** argv, int& i, const char* name, int& value) {
  if (std::string_view(argv[i]) != name || i + 1 >= argc)
    return false;
  const std::string_view text = argv[++i];
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int icons = 100, rounds = 2, jobs = 8;
  for (int i = 1; i < argc; ++i) {
    if (!ParseArg(argc, argv, i, "--icons", icons) &&
        !ParseArg(argc, argv, i, "--rounds", rounds) && !ParseArg(argc, argv, i, "--jobs", jobs)) {
      std::fprintf(stderr, "Usage: %s [--icons N] [--rounds R] [--jobs N]\n", argv[0]);
      return 2;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  const ScratchFolder scratch("korvane_service_jobs");
  if (scratch.path().empty())
    return 1;
  const fs::path& root = scratch.path();
  fs::create_directories(root / "collections");
  std::mt19937 random(20240601);
  std::vector<std::string> markups;
  for (int i = 0; i < icons; ++i)
    markups.push_back(IconMarkup(random));
  std::ofstream(root / "collections" / "benchjobs.json") << CollectionJson(markups, "benchjobs");

  Standin standin;
  if (!standin.Start(KORVANE_STANDIN_PROGRAM, root / "collections", root / "ca.pem", 1, 256)) {
    std::fprintf(stderr, "the stand-in did not start\n");
    return 1;
  }
  const int devNull = open("/dev/null", O_WRONLY);
  std::vector<double> wall[2];
  int written[2] = {0, 0};
  bool ok = true;
  for (int round = 0; round < rounds; ++round) {
    for (int which = 0; which < 2; ++which) {
      const int n = which == 0 ? 1 : jobs;
      const fs::path out = root / ("out" + std::to_string(n));
      fs::remove_all(out);
      fs::create_directories(out);
      const double start = NowSeconds();
      const pid_t pid =
          Spawn({KORVANE_CLI_PROGRAM, "--folder", out.string() + "/", "--id", "benchjobs",
                 "--icon-library", standin.Library(), "--converter", standin.Converter(),
                 "--ca-file", standin.Ca(), "--jobs", std::to_string(n), "--names", "id"},
                devNull, devNull);
      const ChildResult result = Wait(pid, start);
      wall[which].push_back(result.wallSeconds);
      written[which] = CountFiles(out);
      if (result.exitCode != 0 || written[which] != icons)
        ok = false;
    }
  }
  close(devNull);
  std::printf("%d icons through the stand-in service, one pending poll per icon, %d rounds\n",
              icons, rounds);
  std::printf("%-12s %12s %24s %8s\n", "", "median s", "spread s (min-max)", "PNGs");
  for (int which = 0; which < 2; ++which) {
    const auto [lo, hi] = std::minmax_element(wall[which].begin(), wall[which].end());
    std::printf("--jobs %-5d %12.2f %11.2f-%-12.2f %8d\n", which == 0 ? 1 : jobs,
                Median(wall[which]), *lo, *hi, written[which]);
  }
  const double speedUp = Median(wall[0]) / Median(wall[1]);
  std::printf("speed-up --jobs %d over --jobs 1: %.2fx (target >= %.0fx: %s)\n", jobs, speedUp,
              kTargetSpeedUp, speedUp >= kTargetSpeedUp ? "met" : "NOT met");
  if (!ok)
    std::printf("some run failed or wrote fewer PNGs than icons\n");
  return ok ? 0 : 1;
}
