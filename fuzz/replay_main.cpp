// The plain build of a fuzz target: runs every file of the corpus folders (or files) it is given
// through the target once, so each seed, crash and hang ever found stays a regression test in the
// suite. A broken invariant or a sanitizer report ends the program as it would end the fuzzer.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> CorpusFiles(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
        if (entry.is_regular_file())
          files.push_back(entry.path());
      }
    } else {
      files.push_back(arg);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::filesystem::path> files = CorpusFiles(argc, argv);
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...: no corpus file found\n", argv[0]);
    return 2;
  }
  double slowestMs = 0;
  std::string slowest;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", file.c_str());
      return 2;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // An exactly sized heap copy, so AddressSanitizer sees a read past the input's end.
    auto data = std::make_unique<uint8_t[]>(bytes.size() + (bytes.empty() ? 1 : 0));
    std::copy(bytes.begin(), bytes.end(), data.get());
    std::fprintf(stderr, "replaying %s\n", file.c_str());
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms > slowestMs) {
      slowestMs = ms;
      slowest = file.filename().string();
    }
  }
  // Time is reported, not judged: the libFuzzer runs hold the one-second limit on a known
  // machine, while a loaded test machine may be slower.
  std::printf("replayed %zu inputs; slowest %.1f ms (%s)\n", files.size(), slowestMs,
              slowest.c_str());
  return 0;
}
