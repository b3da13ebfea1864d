#include "standin/svg_renderer.h"

#include <gtest/gtest.h>

#include "standin_test_support.h"

namespace korvane::standin {
namespace {

// A red square over the middle half of a 1024 x 512 (or 1024 x 1024) canvas.
std::string Square(const std::string& viewBox, const std::string& path) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + viewBox + "\"><path d=\"" + path +
         "\" fill=\"#ff0000\"/></svg>";
}

TEST(SvgRenderer, ScalesTheLongerSideAndShowsTheIcon) {
  const struct {
    std::string svg;
    int size, width, height;
  } cases[] = {
      {Square("0 0 1024 1024", "M256 256H768V768H256Z"), 256, 256, 256},
      {Square("0 0 1024 1024", "M256 256H768V768H256Z"), 64, 64, 64},
      {Square("0 0 1024 512", "M256 128H768V384H256Z"), 200, 200, 100},
      {Square("0 0 512 1024", "M128 256H384V768H128Z"), 300, 150, 300},
      // Percent sizes, as the tool's documents have, fall back to the viewBox.
      {"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%\" height=\"100%\" viewBox=\"0 0 "
       "1024 1024\"><path d=\"M256 256H768V768H256Z\" fill=\"#ff0000\"/></svg>",
       128, 128, 128},
  };
  for (const auto& c : cases) {
    const RenderResult r = RenderSvgToPng(c.svg, c.size);
    ASSERT_TRUE(r.ok) << r.error;
    const testing::Picture p = testing::DecodePng(r.png);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.At(p.width / 2, p.height / 2), 0xFFFF0000u) << c.svg;
    EXPECT_EQ(p.Alpha(0, 0), 0) << c.svg;
    EXPECT_EQ(p.Alpha(p.width - 1, p.height - 1), 0) << c.svg;
  }
}

TEST(SvgRenderer, RefusesWhatLibrsvgRejects) {
  const struct {
    const char* what;
    std::string svg;
    int size;
  } cases[] = {
      {"empty", "", 256},
      {"not XML", "hello", 256},
      {"unclosed element", "<svg xmlns=\"http://www.w3.org/2000/svg\"><g></svg>", 256},
      {"size zero", Square("0 0 10 10", "M0 0H5V5Z"), 0},
      {"size too large", Square("0 0 10 10", "M0 0H5V5Z"), 100000},
  };
  for (const auto& c : cases) {
    const RenderResult r = RenderSvgToPng(c.svg, c.size);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_TRUE(r.png.empty()) << c.what;
    EXPECT_FALSE(r.error.empty()) << c.what;
  }
}

}  // namespace
}  // namespace korvane::standin
