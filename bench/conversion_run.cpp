// A whole conversion run measured from outside: a generated collection (1,000 icons by default)
// goes through korvane-cli against the stand-in services answering 100 on the first status poll,
// and the client's wall time, CPU time per document and peak memory are taken from the kernel's
// accounting of the child process. Beside it, in the same run and interleaved with it (client,
// baseline, client, baseline, ...), a plain libcurl client in a process of its own makes the same
// four HTTPS requests per document with fresh handles and the same TLS settings (verification on,
// the same certificate store built once, TLS sessions resumed through one share): what any client
// of the service must spend. rsvg-convert renders the same documents once per document as a
// second yardstick. Prints medians and spreads and whether the targets (client CPU at most 3 ms per
// document, peak memory under 100 MB) are met.
// Usage: bench_conversion_run [--icons N] [--repeat R]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "bench_support.h"
#include "pipeline/conversion_service.h"
#include "pipeline/icon_documents.h"
#include "pipeline/random_tokens.h"

namespace {

using namespace korvane::bench;
namespace fs = std::filesystem;

constexpr int kSize = 256;  // the stand-in's default longer side, and rsvg-convert's box
constexpr char kCollectionId[] = "bench1000";
constexpr double kTargetCpuMsPerDocument = 3.0;
constexpr double kTargetPeakMegabytes = 100.0;

// The document the tool builds for an icon whose markup has one svg element: the run from the
// first "<path d=" to "</svg>" in the document template.
std::string StandaloneDocument(const std::string& markup) {
  const size_t begin = markup.find("<path d=") + std::strlen("<path d=");
  const size_t end = markup.find("</svg>", begin);
  return korvane::FillDocumentTemplate(std::string_view(markup).substr(begin, end - begin),
                                       kViewBox);
}

bool WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int CountPngs(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == ".png")
      ++count;
  }
  return count;
}

// --- the plain libcurl client (a process of its own: `--baseline-client`) ----------------------

struct BaselineShare {
  CURLSH* share = nullptr;
  X509_STORE* store = nullptr;
};

CURLcode InstallBaselineStore(CURL*, void* context, void* store) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), static_cast<X509_STORE*>(store));
  return CURLE_OK;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// One request on a fresh easy handle: verification on, the shared store, sessions resumed.
bool BaselineRequest(const BaselineShare& shared, const std::string& url, const std::string* body,
                     std::string& reply) {
  CURL* easy = curl_easy_init();
  if (easy == nullptr)
    return false;
  reply.clear();
  curl_slist* headers =
      curl_slist_append(nullptr, std::string(korvane::kUploadContentType).c_str());
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
  curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &InstallBaselineStore);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, shared.store);
  curl_easy_setopt(easy, CURLOPT_SHARE, shared.share);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply);
  if (body != nullptr) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body->data());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
  }
  long code = 0;
  const bool ok = curl_easy_perform(easy) == CURLE_OK &&
                  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK && code == 200;
  curl_easy_cleanup(easy);
  curl_slist_free_all(headers);
  return ok;
}

// Converts every document of `documentsDir` (1.svg, 2.svg, ...) through the service and saves
// the PNGs in `outDir`: upload, convert, one status poll, download, as the tool does them.
int BaselineClient(const std::string& converter, const std::string& caFile,
                   const fs::path& documentsDir, const fs::path& outDir, int count) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  BaselineShare shared;
  shared.share = curl_share_init();
  curl_share_setopt(shared.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  curl_share_setopt(shared.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  shared.store = X509_STORE_new();
  if (X509_STORE_load_file(shared.store, caFile.c_str()) != 1) {
    std::fprintf(stderr, "cannot load %s\n", caFile.c_str());
    return 2;
  }
  int failures = 0;
  std::string reply;
  for (int i = 1; i <= count; ++i) {
    std::ifstream in(documentsDir / (std::to_string(i) + ".svg"), std::ios::binary);
    const std::string document((std::istreambuf_iterator<char>(in)), {});
    const std::string token = korvane::RandomLetters(16);
    const std::string uploadId = "o_" + korvane::RandomLetters(28);
    const std::string name = std::to_string(i);
    const std::string body = korvane::FillUploadBody(name + ".svg", uploadId, document);
    const std::string ids = token + "/" + uploadId;
    const bool ok =
        BaselineRequest(shared, converter + "/upload/" + token, &body, reply) &&
        BaselineRequest(shared,
                        converter + "/zh/convert/" + ids + "?rnd=" + korvane::RandomDigits(16, 1),
                        nullptr, reply) &&
        BaselineRequest(shared,
                        converter + "/zh/status/" + ids + "?rnd=0." + korvane::RandomDigits(16, 1),
                        nullptr, reply) &&
        reply.find("100") != std::string::npos &&
        BaselineRequest(shared,
                        converter + "/download/" + ids + "/" + name + ".png?rnd=0." +
                            korvane::RandomDigits(16, 1),
                        nullptr, reply) &&
        WriteFile(outDir / (name + ".png"), reply);
    if (!ok)
      ++failures;
  }
  X509_STORE_free(shared.store);
  curl_share_cleanup(shared.share);
  return failures == 0 ? 0 : 1;
}

struct RsvgFigures {
  int failures = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long peakKilobytes = 0;
};

RsvgFigures RunRsvgConvert(const std::vector<fs::path>& documents, const fs::path& outDir,
                           int devNull) {
  RsvgFigures figures;
  const double started = NowSeconds();
  const std::string size = std::to_string(kSize);
  for (size_t i = 0; i < documents.size(); ++i) {
    const fs::path png = outDir / (std::to_string(i + 1) + ".png");
    const double begin = NowSeconds();
    const pid_t pid = Spawn(
        {"rsvg-convert", "-w", size, "-h", size, "-a", "-o", png.string(), documents[i].string()},
        devNull, -1);
    const ChildResult result = Wait(pid, begin);
    if (result.exitCode != 0)
      ++figures.failures;
    figures.cpuSeconds += CpuSeconds(result.usage);
    figures.peakKilobytes = std::max(figures.peakKilobytes, result.usage.ru_maxrss);
  }
  figures.wallSeconds = NowSeconds() - started;
  return figures;
}

int Usage(const char* program) {
  std::fprintf(stderr,
               "Usage: %s [--icons N] [--repeat R]   (N from 1 to 100000, default 1000; R from 1 "
               "to 50, default 5)\n",
               program);
  return 2;
}

bool ReadCount(std::string_view value, int low, int high, int& out) {
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  return ec == std::errc() && end == value.data() + value.size() && out >= low && out <= high;
}

struct Spread {
  double median = 0, low = 0, high = 0;
};

Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty())
    return spread;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  spread.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  spread.low = values.front();
  spread.high = values.back();
  return spread;
}

// One measured run of a client process: its figures and how many PNGs it left.
struct ClientRun {
  ChildResult result;
  int pngs = 0;
};

ClientRun RunClient(const std::vector<std::string>& argv, const fs::path& outDir, int outFd,
                    int errFd) {
  std::error_code ignored;
  fs::remove_all(outDir, ignored);
  fs::create_directories(outDir);
  ClientRun run;
  const double started = NowSeconds();
  run.result = Wait(Spawn(argv, outFd, errFd), started);
  run.pngs = CountPngs(outDir);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string_view(argv[1]) == "--baseline-client") {
    int count = 0;
    if (!ReadCount(argv[6], 1, 100000, count))
      return 2;
    return BaselineClient(argv[2], argv[3], argv[4], argv[5], count);
  }
  int icons = 1000, repeat = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--icons" && i + 1 < argc) {
      if (!ReadCount(argv[++i], 1, 100000, icons))
        return Usage(argv[0]);
    } else if (arg == "--repeat" && i + 1 < argc) {
      if (!ReadCount(argv[++i], 1, 50, repeat))
        return Usage(argv[0]);
    } else {
      return Usage(argv[0]);
    }
  }
  // The stand-in's stdout pipe is closed once its three lines are read.
  signal(SIGPIPE, SIG_IGN);

  const ScratchFolder scratch("korvane_conversion_run");
  if (scratch.path().empty()) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path& root = scratch.path();
  const fs::path collections = root / "collections", cliOut = root / "cli_out",
                 documentsDir = root / "documents", rsvgOut = root / "rsvg_out";
  for (const fs::path& dir : {collections, cliOut, documentsDir, rsvgOut})
    fs::create_directories(dir);

  // The collection and the standalone documents the tool will build from it.
  std::mt19937 random(20240601);
  std::vector<std::string> markups;
  std::vector<fs::path> documents;
  int pathCount = 0;
  for (int i = 0; i < icons; ++i) {
    markups.push_back(IconMarkup(random));
    // All of an icon's paths go into one document: the run ends at the single "</svg>".
    if (korvane::CountPathRuns(markups.back()) != 1) {
      std::fprintf(stderr, "icon %d: expected one path run\n", i + 1);
      return 1;
    }
    for (size_t p = markups.back().find("<path "); p != std::string::npos;
         p = markups.back().find("<path ", p + 1)) {
      ++pathCount;
    }
    documents.push_back(documentsDir / (std::to_string(i + 1) + ".svg"));
    if (!WriteFile(documents.back(), StandaloneDocument(markups.back()))) {
      std::fprintf(stderr, "cannot write %s\n", documents.back().c_str());
      return 1;
    }
  }
  if (!WriteFile(collections / (std::string(kCollectionId) + ".json"),
                 CollectionJson(markups, kCollectionId))) {
    std::fprintf(stderr, "cannot write the collection\n");
    return 1;
  }
  const int documentCount = icons;

  const int devNull = open("/dev/null", O_WRONLY);
  const fs::path cliErrors = root / "cli_stderr.txt";
  const int errFd = open(cliErrors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  Standin standin;
  if (!standin.Start(KORVANE_STANDIN_PROGRAM, collections, root / "ca.pem", 0, kSize)) {
    std::fprintf(stderr, "the stand-in did not start (%s)\n", KORVANE_STANDIN_PROGRAM);
    return 1;
  }

  std::printf(
      "%d icons (%d paths), one document each; stand-in answers 100 on the first poll; %d "
      "interleaved runs of each client\n",
      icons, pathCount, repeat);
  std::fflush(stdout);
  const fs::path selfPath = fs::read_symlink("/proc/self/exe");
  const std::vector<std::string> cliArgs = {
      KORVANE_CLI_PROGRAM, "--folder",       cliOut.string() + "/", "--id",
      kCollectionId,       "--icon-library", standin.Library(),     "--converter",
      standin.Converter(), "--ca-file",      standin.Ca()};
  const std::vector<std::string> baselineArgs = {
      selfPath.string(),    "--baseline-client",   standin.Converter(),
      standin.Ca(),         documentsDir.string(), (root / "baseline_out").string(),
      std::to_string(icons)};

  std::vector<double> cliCpuMs, cliWall, cliPeak, baseCpuMs, baseWall, basePeak;
  bool ok = true;
  for (int r = 0; r < repeat; ++r) {
    const ClientRun cli = RunClient(cliArgs, cliOut, devNull, errFd);
    const ClientRun base = RunClient(baselineArgs, root / "baseline_out", devNull, errFd);
    if (cli.result.exitCode != 0 || cli.pngs != documentCount) {
      ok = false;
      std::printf("korvane-cli run %d exited with %d and wrote %d of %d PNGs\n", r + 1,
                  cli.result.exitCode, cli.pngs, documentCount);
    }
    if (base.result.exitCode != 0 || base.pngs != documentCount) {
      ok = false;
      std::printf("baseline run %d exited with %d and wrote %d of %d PNGs\n", r + 1,
                  base.result.exitCode, base.pngs, documentCount);
    }
    cliCpuMs.push_back(CpuSeconds(cli.result.usage) * 1e3 / documentCount);
    cliWall.push_back(cli.result.wallSeconds * 1e3 / documentCount);
    cliPeak.push_back(static_cast<double>(cli.result.usage.ru_maxrss) / 1024.0);
    baseCpuMs.push_back(CpuSeconds(base.result.usage) * 1e3 / documentCount);
    baseWall.push_back(base.result.wallSeconds * 1e3 / documentCount);
    basePeak.push_back(static_cast<double>(base.result.usage.ru_maxrss) / 1024.0);
    std::printf("run %d: korvane-cli %.3f ms CPU/doc, baseline %.3f ms CPU/doc\n", r + 1,
                cliCpuMs.back(), baseCpuMs.back());
    std::fflush(stdout);
  }
  const ChildResult server = standin.Stop();

  const RsvgFigures rsvg = RunRsvgConvert(documents, rsvgOut, devNull);
  const int rsvgPngs = CountPngs(rsvgOut);
  close(devNull);
  close(errFd);
  const double rsvgCpuMs = rsvg.cpuSeconds * 1e3 / documentCount;

  const auto row = [](const char* name, const Spread& a, const Spread& b, const char* format) {
    char left[64], right[64];
    std::snprintf(left, sizeof left, format, a.median, a.low, a.high);
    std::snprintf(right, sizeof right, format, b.median, b.low, b.high);
    std::printf("%-22s %26s %26s\n", name, left, right);
  };
  const Spread cpu = SpreadOf(cliCpuMs), baseCpu = SpreadOf(baseCpuMs);
  std::printf("\nmedian [min-max] of %d runs  %26s %26s\n", repeat, "korvane-cli",
              "libcurl baseline");
  row("CPU ms/doc", cpu, baseCpu, "%.3f [%.3f-%.3f]");
  row("wall ms/doc", SpreadOf(cliWall), SpreadOf(baseWall), "%.2f [%.2f-%.2f]");
  row("peak RSS MB", SpreadOf(cliPeak), SpreadOf(basePeak), "%.1f [%.1f-%.1f]");
  std::printf("\nclient CPU over the baseline's: %.2fx (median of each)\n",
              baseCpu.median > 0 ? cpu.median / baseCpu.median : 0);
  std::printf("rsvg-convert once per document: %.3f ms CPU/doc, %.2f ms wall/doc, %d PNGs\n",
              rsvgCpuMs, rsvg.wallSeconds * 1e3 / documentCount, rsvgPngs);
  std::printf("stand-in CPU over all runs (server, apart): %.2f s\n", CpuSeconds(server.usage));
  std::printf(
      "(wall times include the stand-in's rendering; rsvg-convert's CPU includes its start-up)\n");

  if (!ok) {
    std::printf("\nstandard error of the clients:\n");
    std::ifstream errors(cliErrors);
    std::string line;
    for (int n = 0; n < 20 && std::getline(errors, line); ++n)
      std::printf("  %s\n", line.c_str());
  }
  if (rsvg.failures > 0 || rsvgPngs != documentCount) {
    ok = false;
    std::printf("\nrsvg-convert failed on %d documents and wrote %d PNGs\n", rsvg.failures,
                rsvgPngs);
  }
  const double peak = SpreadOf(cliPeak).high;
  std::printf("\ntarget client CPU <= %.1f ms/doc: %s (median %.3f)\n", kTargetCpuMsPerDocument,
              cpu.median <= kTargetCpuMsPerDocument ? "met" : "NOT met", cpu.median);
  std::printf("target client peak memory < %.0f MB: %s (largest %.1f)\n", kTargetPeakMegabytes,
              peak < kTargetPeakMegabytes ? "met" : "NOT met", peak);
  return ok ? 0 : 1;
}
