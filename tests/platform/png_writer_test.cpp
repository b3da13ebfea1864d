// The PNG writer must store exactly the pixels cairo's own writer stores, for every filter and
// odd sizes, and refuse sizes PNG cannot hold.
#include "platform/png_writer.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "png/png_pixels.h"

namespace korvane::platform {
namespace {

using korvane::testing::DecodePng;
using korvane::testing::MaxChannelDifference;

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A picture of random premultiplied pixels, with runs of fully transparent and fully opaque ones
// as icons have, so every branch of the division is taken.
cairo_surface_t* RandomPicture(int width, int height, unsigned seed) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_surface_flush(surface);
  std::mt19937 random(seed);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const unsigned kind = random() % 4;
      const uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : random() % 256;
      const auto channel = [&] { return alpha == 0 ? 0u : random() % (alpha + 1); };
      row[x] = alpha << 24 | channel() << 16 | channel() << 8 | channel();
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

TEST(PngWriterTest, StoresTheSamePixelsAsCairosWriter) {
  struct Case {
    int width, height;
    PngFilter filter;
    int level;
  };
  const Case cases[] = {{1, 1, PngFilter::kUp, 1},     {3, 5, PngFilter::kSub, 1},
                        {64, 64, PngFilter::kNone, 0}, {256, 256, PngFilter::kUp, 1},
                        {255, 17, PngFilter::kSub, 6}, {17, 255, PngFilter::kUp, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " filter " +
                 std::to_string(static_cast<int>(c.filter)));
    cairo_surface_t* surface = RandomPicture(c.width, c.height, c.width * 31u + c.height);
    std::string cairoPng;
    ASSERT_EQ(cairo_surface_write_to_png_stream(surface, Append, &cairoPng), CAIRO_STATUS_SUCCESS);
    const std::string ours =
        EncodePremultipliedArgbPng(cairo_image_surface_get_data(surface), c.width, c.height,
                                   cairo_image_surface_get_stride(surface), {c.level, c.filter});
    cairo_surface_destroy(surface);
    const auto expected = DecodePng(cairoPng);
    const auto actual = DecodePng(ours);
    ASSERT_TRUE(actual.ok());
    EXPECT_EQ(actual.width, c.width);
    EXPECT_EQ(actual.height, c.height);
    EXPECT_EQ(MaxChannelDifference(actual, expected), 0);
  }
}

TEST(PngWriterTest, RefusesSizesPngCannotHold) {
  const unsigned char pixel[4] = {};
  EXPECT_TRUE(EncodePremultipliedArgbPng(pixel, 0, 1, 4).empty());
  EXPECT_TRUE(EncodePremultipliedArgbPng(pixel, 1, 0, 4).empty());
  EXPECT_TRUE(EncodePremultipliedArgbPng(pixel, 2, 1, 4).empty());  // stride shorter than a row
  EXPECT_TRUE(EncodePremultipliedArgbPng(pixel, -1, 1, 4).empty());
}

}  // namespace
}  // namespace korvane::platform
