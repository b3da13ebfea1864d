// The program's two kinds of string data: text (GBK bytes, positions counted from 1 where a
// routine says so) and bytes (a length-counted buffer: bodies, uploads, UTF-16 data).
#pragma once

#include <string>

namespace korvane {

// A length-counted byte buffer. It may hold zero bytes anywhere.
using Bytes = std::string;

}  // namespace korvane
