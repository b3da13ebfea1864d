// Prints what the JSON document object costs on the collection-sized work the pipeline gives it:
// making an object (engine and start-up script), parsing a generated collection of icons,
// counting "data.icons" and reading every icon's "show_svg" as JSON text. Reading all icons
// should grow linearly with the icon count.
#include <sys/resource.h>

#include <time.h>

#include <cstdio>
#include <string>

#include "script/json_object.h"

namespace {

// <chrono> cannot be compiled with the program's GBK literals (it holds a "µs" literal), so the
// monotonic clock is read directly.
double NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
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

// A collection shaped like the icon library's reply: markup of about 4 KB per icon, so 5,000
// icons make about 20 MB.
std::string MakeCollection(int icons) {
  std::string path;
  for (int i = 0; i < 60; ++i)
    path += "M" + std::to_string(i * 17 % 1024) + " " + std::to_string(i * 31 % 1024) + "L12 ";
  std::string text = R"({"code":200,"data":{"id":12527,"icons":[)";
  for (int i = 0; i < icons; ++i) {
    if (i)
      text += ',';
    text +=
        R"({"id":)" + std::to_string(i) + R"(,"name":"icon )" + std::to_string(i) +
        R"(","show_svg":"<svg class=\"icon\" viewBox=\"0 0 1024 1024\" xmlns=\"http://www.w3.org/2000/svg\">)";
    for (int k = 0; k < 6; ++k)
      text += R"(<path d=\")" + path + R"(\" fill=\"#333333\"></path>)";
    text += R"(</svg>"})";
  }
  text += "]}}";
  return text;
}

}  // namespace

int main() {
  using korvane::JsonObject;

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

  std::printf("%8s %10s %10s %10s %12s %14s %14s\n", "icons", "MB", "parse ms", "count ms",
              "read-all ms", "read us/icon", "peak RSS MB");
  for (int icons : {1250, 2500, 5000}) {
    const std::string text = MakeCollection(icons);
    JsonObject json;

    start = NowMs();
    const bool parsed = json.Parse(text);
    const double parseMs = MsSince(start);

    start = NowMs();
    const int count = json.Count("data.icons");
    const double countMs = MsSince(start);

    start = NowMs();
    size_t bytes = 0;
    for (int i = 0; i < count; ++i)
      bytes += json.GetText("data.icons[" + std::to_string(i) + "].show_svg", true).size();
    const double readMs = MsSince(start);

    if (!parsed || count != icons || bytes == 0) {
      std::printf("unexpected result: parsed %d, count %d\n", parsed, count);
      return 1;
    }
    std::printf("%8d %10.1f %10.1f %10.3f %12.1f %14.2f %14.1f\n", icons, text.size() / 1048576.0,
                parseMs, countMs, readMs, readMs * 1000 / icons, PeakRssKb() / 1024.0);
  }
  return 0;
}
