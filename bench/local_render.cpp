// The local renderer against rsvg-convert: every icon of the generated collection (1,000 icons by
// default) and of the bundled samples is made into its whole-markup document and drawn at 256 px,
// encoded and written as a new file (parse + render + encode + write), on one thread and on two;
// beside it rsvg-convert draws the same documents, started once per document, in the same run.
// The three take turns round after round (ABC ABC ...); the median and spread (min-max) of the
// wall and CPU time per document are printed, with whether the targets (0.6 ms per icon on one
// thread, at least 20 times rsvg-convert) are met. Usage: bench_local_render [--icons N] [--rounds
// R] [--rsvg-docs M]
#include <algorithm>
#include <atomic>
#include <charconv>
#include <fstream>
#include <sstream>
#include <thread>

#include "bench_support.h"
#include "pipeline/full_document.h"
#include "platform/code_page.h"
#include "platform/file_store.h"
#include "platform/svg_renderer.h"
#include "script/json_object.h"
#include "standin/sample_collections.h"
#include "util/char_set.h"

namespace {

using namespace korvane::bench;
constexpr int kSize = 256;
constexpr double kTargetMsPerIcon = 0.6;
constexpr double kTargetSpeedUp = 20;

struct Set {
  std::string name;
  std::vector<std::string> documents;  // UTF-8
  std::vector<fs::path> files;         // the same documents on disk, for rsvg-convert
};

std::vector<std::string> GeneratedMarkups(int icons) {
  std::mt19937 random(20240601);
  std::vector<std::string> markups;
  for (int i = 0; i < icons; ++i)
    markups.push_back(IconMarkup(random));
  return markups;
}

std::vector<std::string> SampleMarkups() {
  std::vector<std::string> markups;
  for (const auto& collection : korvane::standin::samples::kAll) {
    std::ifstream in(fs::path(korvane::standin::samples::BundledSamplesDir()) /
                     (std::string(collection.id) + ".json"));
    std::stringstream text;
    text << in.rdbuf();
    korvane::JsonObject json;
    json.Parse(korvane::Utf8ToAnsi(text.str()));
    for (int i = 0, n = json.Count("data.icons"); i < n; ++i)
      markups.push_back(json.GetText("data.icons[" + std::to_string(i) + "].show_svg", false));
  }
  return markups;
}

Set MakeSet(std::string name, const std::vector<std::string>& markups, const fs::path& dir) {
  Set set{std::move(name), {}, {}};
  fs::create_directories(dir);
  for (const std::string& markup : markups) {
    const auto document = korvane::BuildFullDocument(markup);
    if (!document)
      continue;
    set.documents.push_back(korvane::platform::GbkToUtf8(*document));
    set.files.push_back(dir / (std::to_string(set.files.size() + 1) + ".svg"));
    std::ofstream(set.files.back(), std::ios::binary) << set.documents.back();
  }
  return set;
}

// Draws and saves every document with `jobs` threads; returns seconds and counts failures.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

// Wall seconds; `cpu` gets the CPU seconds of all the process's threads meanwhile.
double RunLocal(const Set& set, const fs::path& out, int jobs, int& failures, double& cpu) {
  fs::remove_all(out);
  fs::create_directories(out);
  const auto renderer = korvane::platform::MakeLibrsvgRenderer();
  std::atomic<size_t> next = 0;
  std::atomic<int> failed = 0;
  const std::string folder = korvane::platform::Utf8ToGbk(out.string() + "/");
  const double cpuStart = ProcessCpuSeconds();
  const double start = NowSeconds();
  {
    std::vector<std::jthread> threads;
    for (int j = 0; j < jobs; ++j) {
      threads.emplace_back([&] {
        for (size_t i; (i = next++) < set.documents.size();) {
          const auto picture = renderer->Render(set.documents[i], kSize);
          if (!picture.ok || !korvane::platform::SaveNewFile(
                                 folder + std::to_string(i + 1) + ".png", picture.png)) {
            ++failed;
          }
        }
      });
    }
  }
  failures = failed;
  cpu = ProcessCpuSeconds() - cpuStart;
  return NowSeconds() - start;
}

// Wall seconds; `cpu` gets the CPU seconds of the rsvg-convert processes.
double RunRsvgConvert(const Set& set, size_t count, const fs::path& out, int& failures,
                      double& cpu) {
  fs::remove_all(out);
  fs::create_directories(out);
  const int devNull = open("/dev/null", O_WRONLY);
  const std::string size = std::to_string(kSize);
  failures = 0;
  cpu = 0;
  const double start = NowSeconds();
  for (size_t i = 0; i < count; ++i) {
    const double begin = NowSeconds();
    const pid_t pid =
        Spawn({"rsvg-convert", "-w", size, "-h", size, "-a", "-o",
               (out / (std::to_string(i + 1) + ".png")).string(), set.files[i].string()},
              devNull, devNull);
    const ChildResult result = Wait(pid, begin);
    cpu += CpuSeconds(result.usage);
    if (result.exitCode != 0)
      ++failures;
  }
  close(devNull);
  return NowSeconds() - start;
}

struct Figure {
  std::vector<double> msPerDocument;
  std::vector<double> cpuMsPerDocument;
  int failures = 0;
  double Median() const {
    std::vector<double> v = msPerDocument;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double CpuMedian() const {
    std::vector<double> v = cpuMsPerDocument;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double CpuMin() const {
    return *std::min_element(cpuMsPerDocument.begin(), cpuMsPerDocument.end());
  }
  double CpuMax() const {
    return *std::max_element(cpuMsPerDocument.begin(), cpuMsPerDocument.end());
  }
  double Min() const { return *std::min_element(msPerDocument.begin(), msPerDocument.end()); }
  double Max() const { return *std::max_element(msPerDocument.begin(), msPerDocument.end()); }
};

bool ParseArg(int argc, char** argv, int& i, const char* name, int& value) {
  if (std::string_view(argv[i]) != name || i + 1 >= argc)
    return false;
  const std::string_view text = argv[++i];
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

}  // namespace

int main(int argc, char** argv) {
  int icons = 1000, rounds = 3, rsvgDocs = 100;
  for (int i = 1; i < argc; ++i) {
    if (!ParseArg(argc, argv, i, "--icons", icons) &&
        !ParseArg(argc, argv, i, "--rounds", rounds) &&
        !ParseArg(argc, argv, i, "--rsvg-docs", rsvgDocs)) {
      std::fprintf(stderr, "Usage: %s [--icons N] [--rounds R] [--rsvg-docs M]\n", argv[0]);
      return 2;
    }
  }
  const ScratchFolder scratch("korvane_local_render");
  if (scratch.path().empty())
    return 1;
  const fs::path& root = scratch.path();

  const Set sets[] = {
      MakeSet("generated " + std::to_string(icons) + " icons", GeneratedMarkups(icons),
              root / "generated"),
      MakeSet("bundled samples", SampleMarkups(), root / "samples"),
  };
  bool met = true;
  for (const Set& set : sets) {
    const size_t rsvgCount = std::min(set.documents.size(), static_cast<size_t>(rsvgDocs));
    Figure one, two, rsvg;
    for (int round = 0; round < rounds; ++round) {
      int failures = 0;
      double cpu = 0;
      const double n = static_cast<double>(set.documents.size());
      const double r = static_cast<double>(rsvgCount);
      one.msPerDocument.push_back(RunLocal(set, root / "out1", 1, failures, cpu) * 1e3 / n);
      one.cpuMsPerDocument.push_back(cpu * 1e3 / n);
      one.failures = failures;
      two.msPerDocument.push_back(RunLocal(set, root / "out2", 2, failures, cpu) * 1e3 / n);
      two.cpuMsPerDocument.push_back(cpu * 1e3 / n);
      two.failures = failures;
      rsvg.msPerDocument.push_back(RunRsvgConvert(set, rsvgCount, root / "rsvg", failures, cpu) *
                                   1e3 / r);
      rsvg.cpuMsPerDocument.push_back(cpu * 1e3 / r);
      rsvg.failures = failures;
    }
    std::printf("\n%s: %zu documents at %d px, %d rounds (rsvg-convert on the first %zu)\n",
                set.name.c_str(), set.documents.size(), kSize, rounds, rsvgCount);
    std::printf("%-34s %10s %20s %10s %20s %9s\n", "per document", "wall med", "wall min-max",
                "CPU med", "CPU min-max", "failures");
    const auto row = [](const char* name, const Figure& f) {
      std::printf("%-34s %10.3f %9.3f-%-10.3f %10.3f %9.3f-%-10.3f %9d\n", name, f.Median(),
                  f.Min(), f.Max(), f.CpuMedian(), f.CpuMin(), f.CpuMax(), f.failures);
    };
    row("local renderer, 1 thread", one);
    row("local renderer, 2 threads (wall)", two);
    row("rsvg-convert once per document", rsvg);
    const double speedUp = rsvg.Median() / one.Median();
    std::printf(
        "rsvg-convert / local (1 thread): wall %.1fx, CPU %.1fx; 1 thread / 2 threads "
        "(wall): %.2fx\n",
        speedUp, rsvg.CpuMedian() / one.CpuMedian(), one.Median() / two.Median());
    const bool fast = one.Median() <= kTargetMsPerIcon, faster = speedUp >= kTargetSpeedUp;
    std::printf("target <= %.1f ms per icon: %s; target >= %.0fx rsvg-convert: %s\n",
                kTargetMsPerIcon, fast ? "met" : "NOT met", kTargetSpeedUp,
                faster ? "met" : "NOT met");
    met = met && fast && faster;
  }
  return met ? 0 : 1;
}
