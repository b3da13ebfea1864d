// Prints what the collection step of a run costs, in the run's own sequence: the UTF-8 reply
// converted to the program's text (Utf8ToAnsi), parsed, "data.icons" counted, then every icon's
// "show_svg" read as plain text. The generated reply has a distinct markup and a Chinese name per
// icon, as the library's replies do. Reading all icons should grow linearly with the icon count.
//
//   bench_json_object            1,250, 2,500 and 5,000 icons (5,000 make about 20 MB)
//   bench_json_object ICONS      that many only, in a fresh process, for its peak memory
#include <sys/resource.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/json_object.h"
#include "util/char_set.h"

namespace {

// Processor time of the process, so a busy machine does not inflate the figures. (<chrono>
// cannot be compiled with the program's GBK literals: it holds a "µs" literal.)
double NowMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double MsSince(double start) {
  return NowMs() - start;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A collection shaped like the icon library's reply, in UTF-8: markup of about 4 KB per icon,
// different for every icon, so 5,000 icons make about 20 MB.
std::string MakeCollection(int icons) {
  std::string text = R"({"code":200,"data":{"id":12527,"icons":[)";
  for (int i = 0; i < icons; ++i) {
    std::string path;
    for (int k = 0; k < 60; ++k) {
      path += "M" + std::to_string((i + k * 17) % 1024) + " " +
              std::to_string((i * 7 + k * 31) % 1024) + "L12 ";
    }
    if (i)
      text += ',';
    // The name is "图标 N" in UTF-8.
    text +=
        R"({"id":)" + std::to_string(i) +
        R"(,"name":")"
        "\xE5\x9B\xBE\xE6\xA0\x87 " +
        std::to_string(i) +
        R"(","show_svg":"<svg class=\"icon\" viewBox=\"0 0 1024 1024\" xmlns=\"http://www.w3.org/2000/svg\">)";
    for (int k = 0; k < 6; ++k)
      text += R"(<path d=\")" + path + R"(\" fill=\"#333333\"></path>)";
    text += R"(</svg>"})";
  }
  text += "]}}";
  return text;
}

// One collection through the run's sequence; false when a result is not what it should be.
bool Measure(int icons) {
  const std::string reply = MakeCollection(icons);
  const double replyPeak = PeakRssKb() / 1024.0;
  korvane::JsonObject json;

  double start = NowMs();
  const std::string text = korvane::Utf8ToAnsi(reply);
  const double convertMs = MsSince(start);

  start = NowMs();
  const bool parsed = json.Parse(text);
  const double parseMs = MsSince(start);

  start = NowMs();
  const int count = json.Count("data.icons");
  const double countMs = MsSince(start);

  start = NowMs();
  size_t bytes = 0;
  for (int i = 0; i < count; ++i)
    bytes += json.GetText("data.icons[" + std::to_string(i) + "].show_svg", false).size();
  const double readMs = MsSince(start);

  if (!parsed || count != icons || bytes == 0) {
    std::printf("unexpected result: parsed %d, count %d\n", parsed, count);
    return false;
  }
  std::printf("%8d %8.1f %10.1f %10.1f %9.3f %12.1f %13.2f %11.1f %11.1f\n", icons,
              reply.size() / 1048576.0, convertMs, parseMs, countMs, readMs, readMs * 1000 / icons,
              replyPeak, PeakRssKb() / 1024.0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using korvane::JsonObject;

  if (argc > 1) {
    std::printf("%8s %8s %10s %10s %9s %12s %13s %11s %11s\n", "icons", "MB", "convert ms",
                "parse ms", "count ms", "read-all ms", "read us/icon", "reply MB", "peak MB");
    return Measure(std::atoi(argv[1])) ? 0 : 1;
  }

  constexpr int kConstructions = 50;
  auto start = NowMs();
  for (int i = 0; i < kConstructions; ++i) {
    JsonObject json;
    if (json.ToJson() != "{}") {
      std::printf("construction failed\n");
      return 1;
    }
  }
  std::printf("construction (engine + start-up script): %.3f ms each (%d runs)\n",
              MsSince(start) / kConstructions, kConstructions);

  std::printf("%8s %8s %10s %10s %9s %12s %13s %11s %11s\n", "icons", "MB", "convert ms",
              "parse ms", "count ms", "read-all ms", "read us/icon", "reply MB", "peak MB");
  for (int icons : {1250, 2500, 5000}) {
    if (!Measure(icons))
      return 1;
  }
  return 0;
}
