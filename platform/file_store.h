// Saving a downloaded picture: written to a temporary file in the target folder and renamed into
// place, so no reader ever sees half a file, and never over an existing file.
#pragma once

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace korvane::platform {

// Saves `bytes` as a new file at `path` (the program's GBK text; converted to UTF-8 for the file
// system). When `path` is taken, the next free name is used: "140709.png", then "140709_2.png",
// "140709_3.png" and so on (the number goes before the last extension of the file name). Returns
// the path actually written, as GBK text, or nullopt when the folder is missing, the file could
// not be written in full, no free name was found, or `stop` was requested before the file was
// renamed into place. On every failure nothing is left behind and no existing file is touched.
std::optional<std::string> SaveNewFile(std::string_view path, std::string_view bytes,
                                       std::stop_token stop = {});

// The name that SaveNewFile tries for attempt `n` (1: `path` itself, 2: with "_2", ...).
std::string NumberedName(std::string_view path, int n);

}  // namespace korvane::platform
