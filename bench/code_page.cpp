// Prints how long the code-page conversions take on large inputs: clean UTF-8 and GBK text, and
// text with a bad or unmappable sequence every 64 bytes (the converter stops at each one), in
// CP949 (whose converter consumes a bad pair before it reports it) and code page 936 with
// user-defined characters. Each figure is the best of a few runs.
//
// Utf8ToAnsi is also set against the conversion it replaced (UTF-8 to UTF-16, then UTF-16 to
// GBK, same result): the two run in turn (ABAB...) and each prints its median and spread. With
// "peak direct|two-step MB" the program makes one such conversion and prints its peak memory.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "util/char_set.h"

namespace {

// <chrono> does not build with GBK string literals (its micro-unit suffix has no GBK form).
double NowMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The machine may be shared: the comparison counts this thread's processor time, not wall time.
double CpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

template <typename Body>
double BestMilliseconds(Body body) {
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    const double begin = NowMilliseconds();
    body();
    best = std::min(best, NowMilliseconds() - begin);
  }
  return best;
}

// `bytes` of `filler` with `odd` in place of every 64th-byte stretch (none when empty).
std::string Text(const std::string& filler, const std::string& odd, size_t bytes) {
  std::string out;
  out.reserve(bytes + 64);
  while (out.size() < bytes) {
    for (size_t i = 0; i + odd.size() < 64; i += filler.size())
      out += filler;
    out += odd;
  }
  return out + filler;
}

template <typename Convert>
void Figure(const char* label, const std::string& input, Convert convert) {
  size_t outputSize = 0;
  const double ms = BestMilliseconds([&] { outputSize = convert(input); });
  std::printf("%-48s %6.1f MB -> %6.1f MB  %8.1f ms\n", label, input.size() / 1e6, outputSize / 1e6,
              ms);
}

std::string TwoStep(std::string_view text) {
  using namespace korvane::platform;
  if (text.starts_with("\xEF\xBB\xBF"))
    text.remove_prefix(3);
  text = text.substr(0, text.find('\0'));
  return *EncodeCodePage(kCodePageGbk, *DecodeCodePage(kCodePageUtf8, text));
}

struct Spread {
  double median, low, high;
};

Spread Summary(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

// The direct conversion against the two-step one, interleaved.
void AgainstTwoStep(const char* label, const std::string& input) {
  constexpr int kRounds = 7;
  std::vector<double> direct, twoStep;
  for (int round = 0; round < kRounds; ++round) {
    double begin = CpuMilliseconds();
    const size_t a = korvane::Utf8ToAnsi(input).size();
    direct.push_back(CpuMilliseconds() - begin);
    begin = CpuMilliseconds();
    const size_t b = TwoStep(input).size();
    twoStep.push_back(CpuMilliseconds() - begin);
    if (a != b)
      std::printf("results differ: %zu against %zu bytes\n", a, b);
  }
  const Spread d = Summary(direct), t = Summary(twoStep);
  std::printf(
      "%-40s %5.1f MB  direct %7.1f ms cpu [%.1f-%.1f]  two-step %7.1f ms [%.1f-%.1f]  %.1fx\n",
      label, input.size() / 1e6, d.median, d.low, d.high, t.median, t.low, t.high,
      t.median / d.median);
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

// The optional argument is the size of each input in MB (20 by default; a small one suits a run
// under callgrind).
int main(int argc, char** argv) {
  using namespace korvane;
  const size_t kSize = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20) * 1000 * 1000;
  const std::string utf8Json = "{\"name\":\"\xE4\xB8\xAD\xE6\x96\x87\",\"path\":\"M512 64\"},";
  const std::string gbkText = "\xD6\xD0\xCE\xC4<path d=\"M512 64\"/>";

  if (argc > 3 && std::string(argv[1]) == "peak") {
    const size_t bytes = std::strtoul(argv[3], nullptr, 10) * 1000 * 1000;
    std::string input;  // built in place, so the peak before converting is the input alone
    input.reserve(bytes + utf8Json.size());
    while (input.size() < bytes)
      input += utf8Json;
    const long before = PeakKilobytes();
    const bool direct = std::string(argv[2]) == "direct";
    const size_t out = direct ? Utf8ToAnsi(input).size() : TwoStep(input).size();
    std::printf("%s: %zu MB in, %zu MB out, peak %.1f MB (%.1f MB before converting)\n", argv[2],
                input.size() / 1000000, out / 1000000, PeakKilobytes() / 1024.0, before / 1024.0);
    return 0;
  }

  AgainstTwoStep("Utf8ToAnsi, clean", Text(utf8Json, "", kSize));
  AgainstTwoStep("Utf8ToAnsi, an emoji every 64 bytes", Text(utf8Json, "\xF0\x9F\x98\x80", kSize));
  AgainstTwoStep("Utf8ToAnsi, a bad byte every 64 bytes", Text(utf8Json, "\xFF", kSize));
  AgainstTwoStep("Utf8ToAnsi, pure ASCII", Text("{\"path\":\"M512 64\"},", "", kSize));
  AgainstTwoStep("Utf8ToAnsi, all Chinese", Text("\xE4\xB8\xAD\xE6\x96\x87", "", kSize));

  Figure("Utf8ToAnsi, clean", Text(utf8Json, "", kSize),
         [](const std::string& in) { return Utf8ToAnsi(in).size(); });
  Figure("Utf8ToAnsi, an emoji every 64 bytes", Text(utf8Json, "\xF0\x9F\x98\x80", kSize),
         [](const std::string& in) { return Utf8ToAnsi(in).size(); });
  Figure("GBK to UTF-16, clean", Text(gbkText, "", kSize), [](const std::string& in) {
    return platform::DecodeCodePage(platform::kCodePageGbk, in)->size() * 2;
  });
  Figure("GBK to UTF-16, a user-defined pair every 64 B", Text(gbkText, "\xAA\xA1", kSize),
         [](const std::string& in) {
           return platform::DecodeCodePage(platform::kCodePageGbk, in)->size() * 2;
         });
  Figure("CP949 to UTF-16, a bad pair every 64 bytes", Text("<b>x</b>", "\xA2\xE8", kSize),
         [](const std::string& in) { return platform::DecodeCharset("CP949", in)->size() * 2; });
  Figure("UTF-8 to UTF-16, a bad byte every 64 bytes", Text(utf8Json, "\xFF", kSize),
         [](const std::string& in) { return platform::DecodeCodePage(65001, in)->size() * 2; });
  return 0;
}
