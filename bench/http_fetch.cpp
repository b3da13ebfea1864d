// Requests per second of WinHttpFetch against the floor of a plain libcurl loop with a fresh easy
// handle per request (every WinHttpFetch call opens its own session, so connection reuse is not
// the floor), over loopback HTTP and HTTPS; and how long a stop takes to end a stalled request.
#include <curl/curl.h>
#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>

#include "http/win_http_fetch.h"
#include "platform/http_trust.h"
#include "standin/tls_certificates.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequests = 1000;

size_t Append(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

double PlainCurl(const std::string& url, const std::string& caFile, size_t expected) {
  const auto start = Clock::now();
  for (int i = 0; i < kRequests; ++i) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(easy) != CURLE_OK || body.size() != expected)
      std::fprintf(stderr, "plain libcurl request failed\n");
    curl_easy_cleanup(easy);
  }
  return kRequests / std::chrono::duration<double>(Clock::now() - start).count();
}

double Routine(const std::string& url, size_t expected) {
  const auto start = Clock::now();
  for (int i = 0; i < kRequests; ++i) {
    if (korvane::WinHttpFetch(url).size() != expected)
      std::fprintf(stderr, "WinHttpFetch request failed\n");
  }
  return kRequests / std::chrono::duration<double>(Clock::now() - start).count();
}

template <class Server>
int Serve(Server& server, std::thread& thread, const std::string& page) {
  server.Get("/page", [&page](const httplib::Request&, httplib::Response& res) {
    res.set_content(page, "text/plain");
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

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const auto dir = std::filesystem::temp_directory_path() / "korvane-bench-http";
  std::filesystem::create_directories(dir);
  const auto material = korvane::standin::MakeTlsMaterial();
  const std::string ca = (dir / "ca.pem").string(), cert = (dir / "cert.pem").string(),
                    key = (dir / "key.pem").string();
  korvane::standin::WritePemFile(ca, material.caCertPem);
  korvane::standin::WritePemFile(cert, material.serverCertPem);
  korvane::standin::WritePemFile(key, material.serverKeyPem);
  korvane::platform::SetTrustedCaFile(ca);

  const std::string page(10 * 1024, 'k');
  httplib::Server plain;
  httplib::SSLServer secure(cert.c_str(), key.c_str());
  // Small replies must not wait for a delayed acknowledgement (about 40 ms each).
  plain.set_tcp_nodelay(true);
  secure.set_tcp_nodelay(true);
  std::thread plainThread, secureThread;
  const int plainPort = Serve(plain, plainThread, page);
  const int securePort = Serve(secure, secureThread, page);

  struct Row {
    const char* name;
    std::string url;
  } rows[] = {{"HTTP ", "http://127.0.0.1:" + std::to_string(plainPort) + "/page"},
              {"HTTPS", "https://127.0.0.1:" + std::to_string(securePort) + "/page"}};
  std::printf("%d sequential GETs of a 10 KB body over loopback\n", kRequests);
  for (const Row& row : rows) {
    const double floor = PlainCurl(row.url, ca, page.size());
    const double routine = Routine(row.url, page.size());
    std::printf("%s  plain libcurl %8.1f req/s   WinHttpFetch %8.1f req/s   ratio %.2f\n", row.name,
                floor, routine, floor / routine);
  }

  // Stop latency: a request to a server that sends nothing, stopped from another thread.
  std::stop_source source;
  Clock::time_point stopAt;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopAt = Clock::now();
    source.request_stop();
  });
  korvane::WinHttpFetch("http://127.0.0.1:" + std::to_string(plainPort) + "/stall", 0, {}, {}, {},
                        {}, {}, false, {}, {}, {}, {}, {}, 30, {}, {}, {}, source.get_token());
  const auto latency = Clock::now() - stopAt;
  stopper.join();
  std::printf("stop to return: %.2f ms\n",
              std::chrono::duration<double, std::milli>(latency).count());

  plain.stop();
  secure.stop();
  plainThread.join();
  secureThread.join();
  std::filesystem::remove_all(dir);
  curl_global_cleanup();
  return 0;
}
