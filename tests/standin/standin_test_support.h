// What the stand-in's tests share: the request bodies the tool's conversion client writes, and a
// look into PNG bytes.
#pragma once

#include <cstdint>
#include <string>

namespace korvane::standin::testing {

constexpr char kBoundary[] = "----WebKitFormBoundaryNiSHR5Sz849aAU0E";
constexpr char kUploadContentType[] =
    "multipart/form-data; boundary=----WebKitFormBoundaryNiSHR5Sz849aAU0E";

// The standalone SVG document the tool builds around one captured path run, with the backslash
// before each closing quote that the tool's documents carry.
std::string ToolDocument(const std::string& pathRun, const std::string& viewBox = "0 0 1024 1024");

// The upload body exactly as the tool's client fills it.
std::string UploadBody(const std::string& fileName, const std::string& uploadId,
                       const std::string& document);

// A decoded PNG; ok false when the bytes are not a PNG.
struct Picture {
  bool ok = false;
  int width = 0, height = 0;
  // Unpremultiplied ARGB of a pixel.
  uint32_t At(int x, int y) const;
  uint8_t Alpha(int x, int y) const { return At(x, y) >> 24; }
  std::string argb;  // cairo ARGB32 rows, premultiplied
  int stride = 0;
};
Picture DecodePng(const std::string& png);

}  // namespace korvane::standin::testing
