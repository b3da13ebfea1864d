// Times the regex object's search of the icon path pattern: over one 1 MB line of markup, and over
// a typical 2 KB icon markup searched many times (one search per icon, as the document builder
// does), with and without PCRE2's JIT. Prints milliseconds and the process's peak memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/regex_engine.h"
#include "script/regex_object.h"

namespace {

using korvane::RegexObject;
using Clock = std::chrono::steady_clock;

constexpr const char* kPathPattern = "<path d=(.*?)</svg>";

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One icon's markup as the collection carries it: escaped quotes, one svg with a few paths.
std::string IconMarkup(size_t targetSize) {
  std::string markup =
      "<svg t=\\\"1600000000000\\\" class=\\\"icon\\\" viewBox=\\\"0 0 1024 1024\\\" "
      "version=\\\"1.1\\\" xmlns=\\\"http://www.w3.org/2000/svg\\\" p-id=\\\"1234\\\" "
      "width=\\\"200\\\" height=\\\"200\\\">";
  int path = 0;
  while (markup.size() + 80 < targetSize) {
    markup +=
        "<path d=\\\"M512 64C264.6 64 64 264.6 64 512s200.6 448 448 448 448-200.6 448-448S"
        "759.4 64 512 64z m0 820c-205.4 0-372-166.6-372-372s166.6-372 372-372 372 166.6 "
        "372 372-166.6 372-372 372z\\\" fill=\\\"#333333\\\" p-id=\\\"" +
        std::to_string(++path) + "\\\"></path>";
  }
  return markup + "</svg>";
}

void Report(const char* what, double ms, int matches, size_t groupBytes) {
  std::printf("%-44s %10.2f ms  matches %d  group bytes %zu  peak %ld KiB\n", what, ms, matches,
              groupBytes, PeakKiB());
}

void Run(bool jit) {
  korvane::platform::Pcre2Limits limits;
  limits.useJit = jit;
  auto engine = korvane::platform::MakePcre2RegexEngine(limits);
  const char* mode = jit ? "jit" : "interpreter";

  {
    std::string line = IconMarkup(1024 * 1024);
    RegexObject re(engine);
    const auto start = Clock::now();
    const bool ran = re.Search(kPathPattern, line, false, false, true);
    const double ms = MillisecondsSince(start);
    const std::string group = re.SubMatchText(1, 1);
    char what[64];
    std::snprintf(what, sizeof what, "1 MB line, %s%s", mode, ran ? "" : " (did not run)");
    Report(what, ms, re.MatchCount(), group.size());
  }
  {
    const std::string icon = IconMarkup(2048);
    constexpr int kIcons = 5000;
    int matches = 0;
    size_t groupBytes = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kIcons; ++i) {
      RegexObject re(engine);
      if (re.Search(kPathPattern, icon, false, false, true)) {
        matches += re.MatchCount();
        groupBytes += re.SubMatchText(1, 1).size();
      }
    }
    const double ms = MillisecondsSince(start);
    char what[64];
    std::snprintf(what, sizeof what, "%d x %zu B icon markup, %s", kIcons, icon.size(), mode);
    Report(what, ms, matches, groupBytes);
    std::printf("%-44s %10.4f ms\n", "  per icon", ms / kIcons);
  }
}

}  // namespace

int main() {
  std::printf("peak at start: %ld KiB\n", PeakKiB());
  Run(false);
  Run(true);
  return 0;
}
