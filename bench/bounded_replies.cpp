// Memory and stop latency on large and endless replies:
//  - peak resident memory of reading a 200 MB collection (fetch, GBK conversion, parse into the
//    script engine), the way the run does it now against the way it did before (the whole body
//    copied into the page text, the conversion through one whole UTF-16 copy, the parse through
//    an argument copy), each measured in a child process of its own, interleaved;
//  - peak resident memory of an endless download with the PNG cap, and without a cap after 3 s;
//  - how long a stop takes to end each long step in progress (the transfer, the conversion, the
//    parse, a whole run), stopped at several moments.
// The server is a process of its own, so its copy of the collection is not counted.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_state.h"
#include "http/win_http_fetch.h"
#include "pipeline/reply_limits.h"
#include "pipeline/run_conversion.h"
#include "platform/http_download.h"
#include "script/json_object.h"
#include "util/char_set.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kCollectionBytes = 200'000'000;
constexpr int kRepeats = 3;

// A collection as the library sends it, mostly ASCII markup with some Chinese text.
std::string MakeCollection(size_t bytes) {
  std::string icon =
      R"({"id":1,"name":"图标名称","show_svg":"<svg class=\"icon\" viewBox=\"0 0 1024 1024\" )"
      R"(version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\"><path d=\")";
  for (int i = 0; i < 150; ++i)
    icon += "M" + std::to_string(i * 7 % 1024) + " " + std::to_string(i * 13 % 1024) + "L512 512";
  icon += R"(Z\"></path></svg>"})";
  std::string json = R"({"code":200,"data":{"icons":[)";
  json.reserve(bytes + icon.size() + 64);
  while (json.size() < bytes) {
    json += icon;
    json += ',';
  }
  json.pop_back();
  json += "]}}";
  return json;
}

// The server process: the collection at /collection, an endless PNG at /endless.
pid_t StartServer(int& port) {
  int fds[2];
  if (::pipe(fds) != 0)
    return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string collection = MakeCollection(kCollectionBytes);
    httplib::Server server;
    server.Get("/collection", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(collection.size(), "application/json",
                               [&](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return sink.write(collection.data() + offset,
                                                   std::min<size_t>(length, 1 << 20));
                               });
    });
    server.Get("/api/collection/detail.json", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(collection.size(), "application/json",
                               [&](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return sink.write(collection.data() + offset,
                                                   std::min<size_t>(length, 1 << 20));
                               });
    });
    // The same at about 32 MB/s, so that a capped download is still running when it is stopped.
    server.Get("/endless-slow", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("image/png", [](size_t, httplib::DataSink& sink) {
        static const std::string piece(1 << 16, 'x');
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return sink.write(piece.data(), piece.size());
      });
    });
    server.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("image/png", [](size_t, httplib::DataSink& sink) {
        static const std::string piece(1 << 16, 'x');
        return sink.write(piece.data(), piece.size());
      });
    });
    const int bound = server.bind_to_any_port("127.0.0.1");
    if (::write(fds[1], &bound, sizeof bound) != sizeof bound)
      ::_exit(1);
    ::close(fds[1]);
    server.listen_after_bind();
    ::_exit(0);
  }
  ::close(fds[1]);
  if (::read(fds[0], &port, sizeof port) != sizeof port)
    port = 0;
  ::close(fds[0]);
  // The collection is built before the port is reported; wait until it is served.
  return pid;
}

// Runs `work` in a child process; returns the child's peak resident memory in MiB (and, through
// `ok`, whether the work reported success).
template <class Work>
double PeakMiBOfChild(Work work, bool& ok) {
  const pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(work() ? 0 : 1);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The collection step as the run does it now.
bool CandidateCollection(const std::string& url) {
  const korvane::ReplyLimits limits;
  std::string page =
      korvane::WinHttpFetch(url, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {}, {}, {},
                            {}, nullptr, limits.For(limits.collectionBytes));
  std::string text = korvane::Utf8ToAnsi(page, {});
  std::string().swap(page);
  korvane::JsonObject json;
  return json.Parse(std::move(text), {}) && json.Count("data.icons") > 1000;
}

// The collection step as it was: the page text a copy of the whole body, the conversion through
// one whole UTF-16 copy, the parse with the text kept and copied into the call.
bool BaselineCollection(const std::string& url) {
  korvane::Bytes bytes;
  const std::string page = korvane::WinHttpFetch(url, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {},
                                                 {}, 0, {}, {}, bytes);
  const std::string text =
      korvane::WideToCodePage(korvane::CodePageToWide(page), korvane::platform::kCodePageGbk);
  korvane::JsonObject json;
  return json.Parse(std::string_view(text)) && json.Count("data.icons") > 1000;
}

struct Figures {
  std::vector<double> values;
  void Add(double v) { values.push_back(v); }
  double Median() const {
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
  }
  double Min() const { return *std::min_element(values.begin(), values.end()); }
  double Max() const { return *std::max_element(values.begin(), values.end()); }
};

double ThreadCpuMs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// How long a step took to return after a stop request: on the clock, and in processor time of
// the stopped thread (which a loaded machine does not stretch).
struct Latency {
  double wallMs = 0;
  double cpuMs = 0;
};

// Starts `step` on a thread, requests a stop after `delay` and measures how long the step took
// to return after the request.
template <class Step>
Latency StopLatency(Step step, std::chrono::milliseconds delay) {
  std::stop_source source;
  Clock::time_point returned;
  double cpuAtReturn = 0;
  std::thread worker([&] {
    step(source.get_token());
    returned = Clock::now();
    cpuAtReturn = ThreadCpuMs(CLOCK_THREAD_CPUTIME_ID);
  });
  clockid_t workerClock{};
  pthread_getcpuclockid(worker.native_handle(), &workerClock);
  std::this_thread::sleep_for(delay);
  const double cpuAtRequest = ThreadCpuMs(workerClock);
  const Clock::time_point requested = Clock::now();
  source.request_stop();
  worker.join();
  // A step that ended before the request took no time to stop.
  if (returned < requested)
    return {};
  return {std::chrono::duration<double, std::milli>(returned - requested).count(),
          std::max(0.0, cpuAtReturn - cpuAtRequest)};
}

// A UI port for a run without a window.
class QuietUi final : public korvane::UiPort {
 public:
  void SetCaption(korvane::Control, std::string_view) override {}
  void SetPosition(korvane::Control, int) override {}
  int Position(korvane::Control) override { return 0; }
  void SetMaximum(korvane::Control, int) override {}
  std::string Text(korvane::Control control) override {
    return control == korvane::Control::kEdit1 ? "x" : "/tmp/";
  }
  void ShowMessage(std::string_view, int) override {}
};

}  // namespace

// With the argument "stops" only the stop latencies are measured.
int main(int argc, char** argv) {
  const bool stopsOnly = argc > 1 && std::string(argv[1]) == "stops";
  int port = 0;
  const pid_t server = StartServer(port);
  if (server <= 0 || port == 0) {
    std::fprintf(stderr, "server did not start\n");
    return 1;
  }
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  const std::string collectionUrl = base + "/collection";
  const std::string endlessUrl = base + "/endless";
  // Warm up: the first request waits for the server to have built its collection.
  korvane::WinHttpFetch(base + "/none");

  if (!stopsOnly) {
    std::printf("collection of %zu bytes: peak resident memory (MiB), %d runs each, interleaved\n",
                kCollectionBytes, kRepeats);
    Figures baseline, candidate;
    for (int i = 0; i < kRepeats; ++i) {
      bool ok = false;
      baseline.Add(PeakMiBOfChild([&] { return BaselineCollection(collectionUrl); }, ok));
      if (!ok)
        std::fprintf(stderr, "baseline run failed\n");
      candidate.Add(PeakMiBOfChild([&] { return CandidateCollection(collectionUrl); }, ok));
      if (!ok)
        std::fprintf(stderr, "candidate run failed\n");
    }
    const double reply = kCollectionBytes / 1048576.0;
    std::printf("  before: median %.0f (%.0f..%.0f) = %.2fx the reply\n", baseline.Median(),
                baseline.Min(), baseline.Max(), baseline.Median() / reply);
    std::printf("  now:    median %.0f (%.0f..%.0f) = %.2fx the reply\n", candidate.Median(),
                candidate.Min(), candidate.Max(), candidate.Median() / reply);

    std::fflush(stdout);
    std::printf("endless download: peak resident memory (MiB)\n");
    Figures capped, uncapped;
    for (int i = 0; i < kRepeats; ++i) {
      bool ok = false;
      capped.Add(PeakMiBOfChild(
          [&] {
            const korvane::ReplyLimits limits;
            return korvane::platform::HttpDownload(endlessUrl, {}, 0,
                                                   limits.For(limits.downloadBytes))
                .empty();
          },
          ok));
      uncapped.Add(PeakMiBOfChild(
          [&] {
            std::stop_source source;
            std::jthread timer([&] {
              std::this_thread::sleep_for(std::chrono::seconds(3));
              source.request_stop();
            });
            korvane::platform::HttpDownload(endlessUrl, source.get_token());
            return true;
          },
          ok));
    }
    std::printf("  64 MiB cap:           median %.0f (%.0f..%.0f)\n", capped.Median(), capped.Min(),
                capped.Max());
    std::printf("  no cap, stopped at 3 s: median %.0f (%.0f..%.0f)\n", uncapped.Median(),
                uncapped.Min(), uncapped.Max());
  }

  std::fflush(stdout);

  // Stop latency, each step stopped at several moments.
  const std::vector<std::chrono::milliseconds> delays = {
      std::chrono::milliseconds(30), std::chrono::milliseconds(150), std::chrono::milliseconds(400),
      std::chrono::milliseconds(900)};
  const std::string collectionText =
      korvane::WinHttpFetch(collectionUrl, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0);
  const std::string gbkText = korvane::Utf8ToAnsi(collectionText);
  struct Step {
    const char* name;
    std::function<void(std::stop_token)> run;
    std::function<void()> prepare = {};  // made ready before the clock starts
  };
  std::string parseInput;
  korvane::AppState state;
  const korvane::ReplyLimits limits;
  const Step steps[] = {
      {"collection transfer (capped)",
       [&](std::stop_token stop) {
         korvane::WinHttpFetch(collectionUrl, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0,
                               {}, {}, {}, stop, nullptr, limits.For(limits.collectionBytes));
       }},
      {"endless download (capped)",
       [&](std::stop_token stop) {
         korvane::platform::HttpDownload(base + "/endless-slow", stop, 0,
                                         limits.For(limits.downloadBytes));
       }},
      {"UTF-8 to GBK", [&](std::stop_token stop) { korvane::Utf8ToAnsi(collectionText, stop); }},
      {"parse into the engine",
       [&](std::stop_token stop) {
         korvane::JsonObject json;
         json.Parse(std::move(parseInput), stop);
       },
       [&] { parseInput = gbkText; }},
      {"whole run (collection phase)",
       [&](std::stop_token stop) {
         QuietUi ui;
         korvane::ServiceEndpoints endpoints;
         endpoints.iconLibrary = base;
         endpoints.converter = base;  // never another host
         korvane::ConversionContext context{state, ui, stop, endpoints};
         korvane::RunConversion(context);
       }},
  };
  std::printf(
      "stop latency (ms; wall clock, and processor time of the stopped thread), stopped "
      "at 30/150/400/900 ms, %d rounds\n",
      kRepeats);
  double slowestWall = 0, slowestCpu = 0;
  for (const Step& step : steps) {
    Figures wall, cpu;
    for (int round = 0; round < kRepeats; ++round) {
      for (const auto delay : delays) {
        if (step.prepare)
          step.prepare();
        const Latency latency = StopLatency(step.run, delay);
        wall.Add(latency.wallMs);
        cpu.Add(latency.cpuMs);
      }
    }
    slowestWall = std::max(slowestWall, wall.Max());
    slowestCpu = std::max(slowestCpu, cpu.Max());
    std::printf("  %-30s wall median %6.1f max %6.1f | cpu median %6.1f max %6.1f\n", step.name,
                wall.Median(), wall.Max(), cpu.Median(), cpu.Max());
    std::fflush(stdout);
  }
  std::printf("slowest stop: %.1f ms on the clock, %.1f ms of processor time\n", slowestWall,
              slowestCpu);

  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);
  return 0;
}
