// Prints how long the text routines take on large inputs: batch replacement over 10 MB of markup
// (many matches, no matches, a near-miss search text, double-byte text) and cookie merging over
// 10,000 cookies. Each figure is the best of a few runs.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "http/cookies.h"
#include "util/replace_batch.h"

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

std::string Repeat(const std::string& piece, size_t bytes) {
  std::string out;
  out.reserve(bytes + piece.size());
  while (out.size() < bytes)
    out += piece;
  return out;
}

void ReplaceFigure(const char* label, const std::string& text, const std::string& find,
                   const std::string& replacement, bool caseSensitive) {
  size_t resultSize = 0;
  const double ms = BestMilliseconds([&] {
    resultSize =
        korvane::ReplaceBatch(text, std::nullopt, 1, caseSensitive, find, replacement).size();
  });
  std::printf("ReplaceBatch %-34s %6.1f MB -> %6.1f MB  %8.1f ms\n", label, text.size() / 1e6,
              resultSize / 1e6, ms);
}

void MergeFigure(int oldCount, int newCount) {
  std::string oldText;
  for (int i = 0; i < oldCount; ++i)
    oldText += "name" + std::to_string(i) + "=value " + std::to_string(i) + "; ";
  std::string newText;
  for (int i = 0; i < newCount; ++i) {
    // Half the new cookies replace old ones, a tenth delete one.
    const int name = i % 2 == 0 ? i : oldCount + i;
    newText += "name" + std::to_string(name) + (i % 10 == 1 ? "=deleted" : "=fresh") + "; ";
  }
  size_t resultSize = 0;
  const double ms = BestMilliseconds([&] {
    std::string cookies = oldText;
    std::string fresh = newText;
    resultSize = korvane::MergeCookies(cookies, fresh).size();
  });
  std::printf("MergeCookies %6d old + %6d new cookies -> %8zu bytes  %8.1f ms\n", oldCount,
              newCount, resultSize, ms);
}

}  // namespace

int main() {
  constexpr size_t kTenMegabytes = 10 * 1000 * 1000;
  const std::string markup =
      Repeat(R"(<path d=\"M512 64C264.6 64 64 264.6 64 512\" fill=\"#333\" class=\"icon\"/>)",
             kTenMegabytes);
  ReplaceFigure("\"=\\\" -> \"=\" (the worker's clean-up)", markup, "=\\", "=", false);
  ReplaceFigure("\"path\" -> \"PATH\", case-sensitive", markup, "path", "PATH", true);
  ReplaceFigure("no match", markup, "<circle", "", false);
  ReplaceFigure("near-miss search over a run", std::string(kTenMegabytes, 'a'),
                std::string(1000, 'a') + "b", "x", true);
  ReplaceFigure("double-byte text", Repeat("先选择目录,无svg代码;", kTenMegabytes), "目录",
                "文件夹", false);

  MergeFigure(10000, 0);
  MergeFigure(0, 10000);
  MergeFigure(10000, 10000);
  MergeFigure(100000, 100000);
  return 0;
}
