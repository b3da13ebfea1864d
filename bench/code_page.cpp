// Prints how long the code-page conversions take on large inputs: clean UTF-8 and GBK text, and
// text with a bad or unmappable sequence every 64 bytes (the converter stops at each one), in
// CP949 (whose converter consumes a bad pair before it reports it) and code page 936 with
// user-defined characters. Each figure is the best of a few runs.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/code_page.h"
#include "util/char_set.h"

namespace {

// <chrono> does not build with GBK string literals (its micro-unit suffix has no GBK form).
double NowMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
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

}  // namespace

// The optional argument is the size of each input in MB (20 by default; a small one suits a run
// under callgrind).
int main(int argc, char** argv) {
  using namespace korvane;
  const size_t kSize = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20) * 1000 * 1000;
  const std::string utf8Json = "{\"name\":\"\xE4\xB8\xAD\xE6\x96\x87\",\"path\":\"M512 64\"},";
  const std::string gbkText = "\xD6\xD0\xCE\xC4<path d=\"M512 64\"/>";

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
