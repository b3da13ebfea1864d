// Saving a downloaded picture: written to a temporary file in the target folder and given its
// name only when complete, so no reader ever sees half a file, and never over an existing file.
// The temporary file has no name at all where the file system allows it (O_TMPFILE), so a
// process killed mid-write leaves nothing behind.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace korvane::platform {

// Why SaveNewFile failed: the step and the system's error number.
struct SaveFailure {
  std::string_view step;  // "create a temporary file", "write", "name the file", ...
  int error = 0;          // errno of that step; 0 when none applies (no free name, stopped)
};

// "write: No space left on device", for failure reports.
std::string DescribeSaveFailure(const SaveFailure& failure);

// Seams for tests: the fallback to a named temporary file, and a look at the folder between the
// write and the naming of the file.
struct SaveSeams {
  bool unnamedTemporary = true;        // false: behave as on a file system without O_TMPFILE
  std::function<void()> beforeNaming;  // called once the bytes are written, before the link
};

// Saves `bytes` as a new file at `path` (the program's GBK text; converted to UTF-8 for the file
// system). When `path` is taken, the next free name is used: "140709.png", then "140709_2.png",
// "140709_3.png" and so on (the number goes before the last extension of the file name). Returns
// the path actually written, as GBK text, or nullopt when the folder is missing, the file could
// not be written in full, no free name was found, or `stop` was requested before the file was
// named. On every failure nothing is left behind, no existing file is touched, and `failure`
// (when given) says why. The new file gets the permissions of any new file (0666 less the umask).
std::optional<std::string> SaveNewFile(std::string_view path, std::string_view bytes,
                                       std::stop_token stop = {}, SaveFailure* failure = nullptr,
                                       const SaveSeams& seams = {});

// The name that SaveNewFile tries for attempt `n` (1: `path` itself, 2: with "_2", ...).
std::string NumberedName(std::string_view path, int n);

}  // namespace korvane::platform
