// What the whole-run, local-renderer and --jobs benchmarks share: the generated icon collection
// (random shapes of one to three paths in the library's markup style, from one seed) and child
// processes measured by the kernel.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::bench {

namespace fs = std::filesystem;

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr char kViewBox[] = "0 0 1024 1024";

inline double NowSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

inline double CpuSeconds(const rusage& usage) {
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// --- the generated collection -------------------------------------------------------------------

inline std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", std::round(v * 10) / 10);
  std::string s = buf;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0)
    s.resize(s.size() - 2);
  return s == "-0" ? "0" : s;
}

inline std::string Polygon(const std::vector<std::pair<double, double>>& points) {
  std::string d;
  for (size_t i = 0; i < points.size(); ++i)
    d += (i == 0 ? "M" : "L") + Num(points[i].first) + " " + Num(points[i].second);
  return d + "Z";
}

inline std::string RegularPolygon(double cx, double cy, double r, int corners,
                                  double startDegrees) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < corners; ++i) {
    const double a = (startDegrees + 360.0 * i / corners) * kPi / 180;
    points.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return Polygon(points);
}

inline std::string Star(double cx, double cy, double outer, double inner, int spikes, double turn) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < 2 * spikes; ++i) {
    const double r = i % 2 ? inner : outer;
    const double a = (turn - 90 + 180.0 * i / spikes) * kPi / 180;
    points.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return Polygon(points);
}

inline std::string Circle(double cx, double cy, double r) {
  const std::string arc = "A" + Num(r) + " " + Num(r) + " 0 1 1 ";
  return "M" + Num(cx - r) + " " + Num(cy) + arc + Num(cx + r) + " " + Num(cy) + arc + Num(cx - r) +
         " " + Num(cy) + "Z";
}

inline std::string RoundRect(double x, double y, double w, double h, double r) {
  const std::string arc = "A" + Num(r) + " " + Num(r) + " 0 0 1 ";
  return "M" + Num(x + r) + " " + Num(y) + "H" + Num(x + w - r) + arc + Num(x + w) + " " +
         Num(y + r) + "V" + Num(y + h - r) + arc + Num(x + w - r) + " " + Num(y + h) + "H" +
         Num(x + r) + arc + Num(x) + " " + Num(y + h - r) + "V" + Num(y + r) + arc + Num(x + r) +
         " " + Num(y) + "Z";
}

inline std::string Wave(double x, double y, double w, double amplitude, int humps) {
  const double step = w / humps;
  std::string d = "M" + Num(x) + " " + Num(y);
  for (int i = 0; i < humps; ++i) {
    const double sign = i % 2 ? 1 : -1;
    d += "C" + Num(x + step * (i + 0.25)) + " " + Num(y + sign * amplitude) + " " +
         Num(x + step * (i + 0.75)) + " " + Num(y + sign * amplitude) + " " +
         Num(x + step * (i + 1)) + " " + Num(y);
  }
  return d + "V" + Num(y + 3 * amplitude) + "H" + Num(x) + "Z";
}

// One path's d attribute: a shape picked and placed by the generator.
inline std::string RandomShape(std::mt19937& random) {
  std::uniform_real_distribution<double> centre(300, 724), radius(120, 300), unit(0, 1);
  const double cx = centre(random), cy = centre(random), r = radius(random);
  switch (random() % 5) {
    case 0:
      return Circle(cx, cy, r);
    case 1:
      return RegularPolygon(cx, cy, r, 3 + static_cast<int>(random() % 6), unit(random) * 360);
    case 2:
      return Star(cx, cy, r, r * (0.35 + 0.3 * unit(random)), 4 + static_cast<int>(random() % 5),
                  unit(random) * 90);
    case 3:
      return RoundRect(cx - r, cy - r * 0.7, 2 * r, 1.4 * r, r * 0.25 * unit(random));
    default:
      return Wave(cx - r, cy, 2 * r, r * 0.3, 2 + static_cast<int>(random() % 4));
  }
}

// The icon's markup in the library's style: the svg element, then one path element per shape.
inline std::string IconMarkup(std::mt19937& random) {
  static const char* const kFills[] = {"#2f6fde", "#e2463c", "#2e9e5b", "#f4b400",
                                       "#33363d", "#f08a24", "#7b4fd6", "#8d5a3b"};
  std::string markup = std::string("<svg class=\"icon\" viewBox=\"") + kViewBox +
                       "\" version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\">";
  const int paths = 1 + static_cast<int>(random() % 3);
  for (int i = 0; i < paths; ++i) {
    markup +=
        "<path d=\"" + RandomShape(random) + "\" fill=\"" + kFills[random() % 8] + "\"></path>";
  }
  return markup + "</svg>";
}

inline std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

inline std::string CollectionJson(const std::vector<std::string>& markups,
                                  std::string_view collectionId) {
  std::string json = std::string("{\"code\":200,\"data\":{\"id\":") + JsonString(collectionId) +
                     ",\"name\":\"bench\",\"icons\":[";
  for (size_t i = 0; i < markups.size(); ++i) {
    json += (i == 0 ? "{\"id\":" : ",{\"id\":") + std::to_string(100000 + i) +
            ",\"name\":" + JsonString("icon " + std::to_string(i + 1)) +
            ",\"show_svg\":" + JsonString(markups[i]) + "}";
  }
  return json + "]}}";
}

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. Empty path() when it could not be made.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::string_view prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty())
      fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// --- child processes ----------------------------------------------------------------------------

// Starts `argv` with standard output to `outFd` (or left alone when -1) and standard error to
// `errFd` (likewise). Returns the pid, or -1.
inline pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (outFd >= 0)
      dup2(outFd, STDOUT_FILENO);
    if (errFd >= 0)
      dup2(errFd, STDERR_FILENO);
    execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
  }
  return pid;
}

struct ChildResult {
  int exitCode = -1;  // -1: killed by a signal or not started
  double wallSeconds = 0;
  rusage usage{};
};

inline ChildResult Wait(pid_t pid, double started) {
  ChildResult result;
  int status = 0;
  while (wait4(pid, &status, 0, &result.usage) < 0 && errno == EINTR) {
  }
  result.wallSeconds = NowSeconds() - started;
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  return result;
}

// The stand-in as a process of its own, so its work is not counted as the client's.
class Standin {
 public:
  // Starts `program` serving the collections of `collections`, with `polls` status replies below
  // 100 per conversion and PNGs of `size` pixels.
  bool Start(const std::string& program, const fs::path& collections, const fs::path& caFile,
             int polls, int size) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
      return false;
    pid_ = Spawn({program, "--collections", collections.string(), "--polls", std::to_string(polls),
                  "--size", std::to_string(size), "--ca-out", caFile.string()},
                 pipeFds[1], -1);
    started_ = NowSeconds();
    close(pipeFds[1]);
    FILE* lines = fdopen(pipeFds[0], "r");
    char line[1024];
    while (lines != nullptr && std::fgets(line, sizeof line, lines) != nullptr) {
      std::string text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
      const size_t space = text.find(' ');
      const std::string key = text.substr(0, space);
      const std::string value = space == std::string::npos ? "" : text.substr(space + 1);
      if (key == "icon-library")
        library_ = value;
      else if (key == "converter")
        converter_ = value;
      else if (key == "ca")
        ca_ = value;
      if (!library_.empty() && !converter_.empty() && !ca_.empty())
        break;
    }
    if (lines != nullptr)
      std::fclose(lines);
    return pid_ > 0 && !library_.empty() && !converter_.empty() && !ca_.empty();
  }

  // SIGTERM, then the kernel's account of the server's work over its whole life.
  ChildResult Stop() {
    ChildResult result;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      result = Wait(pid_, started_);
      pid_ = -1;
    }
    return result;
  }

  ~Standin() { Stop(); }

  const std::string& Library() const { return library_; }
  const std::string& Converter() const { return converter_; }
  const std::string& Ca() const { return ca_; }

 private:
  pid_t pid_ = -1;
  double started_ = 0;
  std::string library_, converter_, ca_;
};

}  // namespace korvane::bench
