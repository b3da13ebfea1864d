// Decoding PNG files back to pixels for the tests that compare pictures, through libspng (a
// decoder the tool itself does not use, so a fault in our writer cannot hide in the reader).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace korvane::testing {

struct Pixels {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // straight alpha, rows top to bottom
  bool ok() const { return width > 0 && height > 0; }
  const uint8_t* At(int x, int y) const {
    return rgba.data() + 4 * (static_cast<size_t>(y) * static_cast<size_t>(width) + x);
  }
};

// The pixels of a PNG file, or an empty picture when it cannot be decoded.
Pixels DecodePng(std::string_view png);

// The largest difference of one channel between two pictures of the same size; 256 when the
// sizes differ or either is empty.
int MaxChannelDifference(const Pixels& a, const Pixels& b);

}  // namespace korvane::testing
