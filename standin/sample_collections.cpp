#include "standin/sample_collections.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace korvane::standin::samples {

namespace {

namespace fs = std::filesystem;

// True when `path` is `folder` or lies below it.
bool IsWithin(const fs::path& path, const fs::path& folder) {
  const auto [folderEnd, pathEnd] =
      std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return folderEnd == folder.end();
}

std::string FindSamplesDir() {
  // Installed, the samples sit in share/korvane/samples beside the program's bin folder, wherever
  // the package or `cmake --install` put that prefix.
  std::error_code error;
  const fs::path program = fs::canonical("/proc/self/exe", error);
  if (error)
    return {};
  const fs::path installed =
      (program.parent_path().parent_path() / "share" / "korvane" / "samples").lexically_normal();
  if (fs::is_directory(installed, error))
    return installed.string();
  // The programs, tests and benchmarks of a build tree use the folder the build wrote the samples
  // to (see standin/CMakeLists.txt). An installed program never falls back to it: a package that
  // lacks its samples must show, not quietly read a build folder that happens to be on the disk.
  const fs::path buildTree = fs::weakly_canonical(KORVANE_BUILD_DIR, error);
  if (!error && IsWithin(program, buildTree))
    return KORVANE_STANDIN_SAMPLES_DIR;
  return installed.string();
}

}  // namespace

std::string BundledSamplesDir() {
  static const std::string dir = FindSamplesDir();
  return dir;
}

}  // namespace korvane::standin::samples
