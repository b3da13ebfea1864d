// Client CPU per request of WinHttpFetch against the floor of a plain libcurl loop with a fresh
// easy handle per request (every WinHttpFetch call opens its own session, so connection reuse is
// not the floor), over loopback HTTP and HTTPS; and how long a stop takes to end a stalled
// request.
//
// The servers run in a child process, so the figures are this process's processor time alone. The
// baseline gets what the routine's transfer layer has: over HTTPS the same certificate store
// (built once per process, installed into each connection's TLS context) and a share handle that
// resumes TLS sessions and keeps resolved names. Baseline and routine run in turn (ABAB...) for a
// number of rounds; each prints its median and spread (lowest to highest round).
//
//   bench_http_fetch [ROUNDS [REQUESTS]]         the comparison (7 rounds of 200 by default)
//   bench_http_fetch only curl|routine http|https REQUESTS
//                                                one loop, for valgrind --tool=callgrind
//                                                --collect-atstart=no --toggle-collect='*RunLoop*'
#include <curl/curl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "http/win_http_fetch.h"
#include "platform/http_trust.h"
#include "standin/tls_certificates.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kPage(10 * 1024, 'k');

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

CURLcode InstallStore(CURL*, void* sslContext, void*) {
  return korvane::platform::InstallTrustStore(sslContext) ? CURLE_OK : CURLE_SSL_CERTPROBLEM;
}

// The baseline: a fresh easy handle per request, with the routine's TLS advantages.
struct PlainCurl {
  CURLSH* share = curl_share_init();
  PlainCurl() {
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  }
  ~PlainCurl() { curl_share_cleanup(share); }

  bool Get(const std::string& url) const {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &InstallStore);
    curl_easy_setopt(easy, CURLOPT_SHARE, share);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    const bool ok = curl_easy_perform(easy) == CURLE_OK && body.size() == kPage.size();
    curl_easy_cleanup(easy);
    return ok;
  }
};

double CpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// `requests` GETs by the baseline or the routine; the processor time they took, in ms.
__attribute__((noinline)) double RunLoop(const PlainCurl& curl, bool routine,
                                         const std::string& url, int requests) {
  const double start = CpuMilliseconds();
  for (int i = 0; i < requests; ++i) {
    const bool ok = routine ? korvane::WinHttpFetch(url).size() == kPage.size() : curl.Get(url);
    if (!ok)
      std::fprintf(stderr, "%s request failed\n", routine ? "WinHttpFetch" : "libcurl");
  }
  return CpuMilliseconds() - start;
}

struct Spread {
  double median, low, high;
};

Spread Summary(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

template <class Server>
int Serve(Server& server, std::thread& thread) {
  server.Get("/page", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kPage, "text/plain");
  });
  server.Get("/stall", [](const httplib::Request&, httplib::Response&) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  thread = std::thread([&server] { server.listen_after_bind(); });
  while (!server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return port;
}

// The child: both servers, until the parent closes the pipe.
[[noreturn]] void RunServers(const std::string& cert, const std::string& key, int portsOut,
                             int quitIn) {
  httplib::Server plain;
  httplib::SSLServer secure(cert.c_str(), key.c_str());
  // Small replies must not wait for a delayed acknowledgement (about 40 ms each).
  plain.set_tcp_nodelay(true);
  secure.set_tcp_nodelay(true);
  std::thread plainThread, secureThread;
  const int ports[2] = {Serve(plain, plainThread), Serve(secure, secureThread)};
  if (write(portsOut, ports, sizeof ports) != sizeof ports)
    _exit(1);
  char byte;
  while (read(quitIn, &byte, 1) > 0) {
  }
  plain.stop();
  secure.stop();
  plainThread.join();
  secureThread.join();
  _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("korvane-bench-http-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto material = korvane::standin::MakeTlsMaterial();
  const std::string ca = (dir / "ca.pem").string(), cert = (dir / "cert.pem").string(),
                    key = (dir / "key.pem").string();
  korvane::standin::WritePemFile(ca, material.caCertPem);
  korvane::standin::WritePemFile(cert, material.serverCertPem);
  korvane::standin::WritePemFile(key, material.serverKeyPem);

  int portsPipe[2], quitPipe[2];
  if (pipe(portsPipe) != 0 || pipe(quitPipe) != 0)
    return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(quitPipe[1]);
    RunServers(cert, key, portsPipe[1], quitPipe[0]);
  }
  close(quitPipe[0]);
  int ports[2] = {0, 0};
  if (read(portsPipe[0], ports, sizeof ports) != sizeof ports)
    return 1;

  curl_global_init(CURL_GLOBAL_DEFAULT);
  korvane::platform::SetTrustedCaFile(ca);
  const std::string urls[2] = {"http://127.0.0.1:" + std::to_string(ports[0]) + "/page",
                               "https://127.0.0.1:" + std::to_string(ports[1]) + "/page"};
  {
    const PlainCurl curl;
    if (argc == 5 && std::string(argv[1]) == "only") {
      const bool routine = std::string(argv[2]) == "routine";
      const std::string& url = urls[std::string(argv[3]) == "https" ? 1 : 0];
      // One request first, so a session to resume and the certificate store exist.
      RunLoop(curl, routine, url, 1);
      const int requests = std::atoi(argv[4]);
      std::printf("%s %s: %.3f ms CPU per request\n", argv[2], argv[3],
                  RunLoop(curl, routine, url, requests) / requests);
    } else {
      const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
      const int requests = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
      std::printf("%d rounds of %d sequential GETs of a 10 KB body over loopback, client CPU\n",
                  rounds, requests);
      const char* names[2] = {"HTTP ", "HTTPS"};
      for (int row = 0; row < 2; ++row) {
        RunLoop(curl, false, urls[row], 5);  // warm-up: certificate store, first sessions
        RunLoop(curl, true, urls[row], 5);
        std::vector<double> base, routine, ratio;
        for (int round = 0; round < rounds; ++round) {
          base.push_back(RunLoop(curl, false, urls[row], requests) * 1000 / requests);
          routine.push_back(RunLoop(curl, true, urls[row], requests) * 1000 / requests);
          ratio.push_back(routine.back() / base.back());
        }
        const Spread b = Summary(base), r = Summary(routine), q = Summary(ratio);
        std::printf(
            "%s  libcurl %6.1f us [%.1f-%.1f]   WinHttpFetch %6.1f us [%.1f-%.1f]   "
            "ratio %.2f [%.2f-%.2f]\n",
            names[row], b.median, b.low, b.high, r.median, r.low, r.high, q.median, q.low, q.high);
      }

      // Stop latency: a request to a server that sends nothing, stopped from another thread.
      std::stop_source source;
      Clock::time_point stopAt;
      std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stopAt = Clock::now();
        source.request_stop();
      });
      korvane::WinHttpFetch("http://127.0.0.1:" + std::to_string(ports[0]) + "/stall", 0, {}, {},
                            {}, {}, {}, false, {}, {}, {}, {}, {}, 30, {}, {}, {},
                            source.get_token());
      const auto latency = Clock::now() - stopAt;
      stopper.join();
      std::printf("stop to return: %.2f ms\n",
                  std::chrono::duration<double, std::milli>(latency).count());
    }
  }
  close(quitPipe[1]);
  waitpid(child, nullptr, 0);
  std::filesystem::remove_all(dir);
  curl_global_cleanup();
  return 0;
}
