// Render throughput of the stand-in's converter beside rsvg-convert: both render the icons of the
// default sample collection, as standalone SVG files, to PNGs of the same size on one core.
// Prints icons per second for each and their ratio.
// Usage: bench_standin_render [SIZE] [ROUNDS]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "standin/sample_collections.h"
#include "standin/svg_renderer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Pulls the show_svg strings out of the collection file (the generator's JSON escapes only
// quotes, backslashes and control characters).
std::vector<std::string> IconMarkup(const std::string& json) {
  std::vector<std::string> out;
  const std::string key = "\"show_svg\":\"";
  for (size_t p = json.find(key); p != std::string::npos; p = json.find(key, p)) {
    p += key.size();
    std::string s;
    for (; p < json.size() && json[p] != '"'; ++p) {
      if (json[p] == '\\' && p + 1 < json.size()) {
        ++p;
        s += json[p] == 'n' ? '\n' : json[p];
      } else {
        s += json[p];
      }
    }
    out.push_back(s);
  }
  return out;
}

int RunRsvgConvert(const std::string& svg, const std::string& png, int size) {
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string sz = std::to_string(size);
    execlp("rsvg-convert", "rsvg-convert", "-w", sz.c_str(), "-h", sz.c_str(), "-a", "-o",
           png.c_str(), svg.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int size = argc > 1 ? std::atoi(argv[1]) : 256;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path file = fs::path(korvane::standin::samples::BundledSamplesDir()) /
                        (std::string(korvane::standin::samples::kDefault.id) + ".json");
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  const std::vector<std::string> icons = IconMarkup(text.str());
  if (icons.empty()) {
    std::cerr << "no icons in " << file << "\n";
    return 1;
  }

  const fs::path dir = fs::temp_directory_path() / ("korvane_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::vector<std::string> svgFiles;
  for (size_t i = 0; i < icons.size(); ++i) {
    svgFiles.push_back((dir / (std::to_string(i) + ".svg")).string());
    std::ofstream(svgFiles.back(), std::ios::binary) << icons[i];
  }

  // The stand-in: in-process librsvg rendering and PNG encoding, as the convert request does.
  size_t bytes = 0;
  const auto a0 = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const std::string& svg : icons) {
      const auto result = korvane::standin::RenderSvgToPng(svg, size);
      if (!result.ok) {
        std::cerr << "render failed: " << result.error << "\n";
        return 1;
      }
      bytes += result.png.size();
    }
  }
  const double standinSeconds = std::chrono::duration<double>(Clock::now() - a0).count();

  // rsvg-convert, one process per icon over the same SVG files.
  const auto b0 = Clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (size_t i = 0; i < svgFiles.size(); ++i) {
      if (RunRsvgConvert(svgFiles[i], (dir / (std::to_string(i) + ".png")).string(), size) != 0) {
        std::cerr << "rsvg-convert failed on " << svgFiles[i] << "\n";
        fs::remove_all(dir);
        return 1;
      }
    }
  }
  const double rsvgSeconds = std::chrono::duration<double>(Clock::now() - b0).count();
  fs::remove_all(dir);

  const double n = double(icons.size()) * rounds;
  const double standinRate = n / standinSeconds, rsvgRate = n / rsvgSeconds;
  std::printf("icons: %zu x %d rounds at %d px\n", icons.size(), rounds, size);
  std::printf("stand-in renderer: %8.1f icons/s (%.2f ms/icon, %.1f KB PNG average)\n", standinRate,
              1000.0 * standinSeconds / n, bytes / n / 1024.0);
  std::printf("rsvg-convert     : %8.1f icons/s (%.2f ms/icon, one process per icon)\n", rsvgRate,
              1000.0 * rsvgSeconds / n);
  std::printf("ratio            : %8.2f x\n", standinRate / rsvgRate);
  return 0;
}
