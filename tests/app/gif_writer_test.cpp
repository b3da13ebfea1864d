// The GIF encoder, checked by decoding its output with Qt's own GIF reader.
#include "app/tools/gif_writer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <random>

namespace korvane::gif {
namespace {

std::vector<Rgb> Palette(int size) {
  std::vector<Rgb> palette;
  for (int i = 0; i < size; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 11)});
  }
  return palette;
}

// Decodes every frame and compares each pixel with the palette colour that was written.
void ExpectRoundTrip(int width, int height, const std::vector<Rgb>& palette,
                     const std::vector<Frame>& frames) {
  const std::string bytes = EncodeAnimation(width, height, palette, frames);
  ASSERT_FALSE(bytes.empty());
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "gif");
  ASSERT_EQ(reader.imageCount(), static_cast<int>(frames.size()));
  EXPECT_EQ(reader.loopCount(), -1);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    SCOPED_TRACE(f);
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(image.size(), QSize(width, height));
    EXPECT_EQ(reader.nextImageDelay(), frames[f].delayCentiseconds * 10);
    int mismatches = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const Rgb want = palette[frames[f].pixels[static_cast<std::size_t>(y) * width + x]];
        const QRgb got = image.pixel(x, y);
        if (qRed(got) != want.r || qGreen(got) != want.g || qBlue(got) != want.b) {
          ++mismatches;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(GifWriterTest, RandomPixelsRoundTripThroughEveryCodeWidth) {
  // Noise over 256 colours fills the 4096-entry table several times, so the code width grows to
  // 12 bits and the table is cleared and restarted.
  std::mt19937 random(7);
  for (int colours : {2, 3, 16, 256}) {
    SCOPED_TRACE(colours);
    std::uniform_int_distribution<int> pick(0, colours - 1);
    const int width = 97;
    const int height = 61;
    std::vector<Frame> frames(2);
    for (Frame& frame : frames) {
      frame.pixels.resize(static_cast<std::size_t>(width) * height);
      for (auto& pixel : frame.pixels) {
        pixel = static_cast<std::uint8_t>(pick(random));
      }
      frame.delayCentiseconds = 20;
    }
    ExpectRoundTrip(width, height, Palette(colours), frames);
  }
}

TEST(GifWriterTest, LongRunsRoundTrip) {
  // One colour throughout makes ever longer strings: the worst case for the table's growth.
  std::vector<Frame> frames(1);
  frames[0].pixels.assign(300 * 200, 1);
  frames[0].pixels[12345] = 0;
  ExpectRoundTrip(300, 200, Palette(4), frames);
}

TEST(GifWriterTest, RejectsInconsistentInput) {
  Frame frame;
  frame.pixels.assign(4, 0);
  EXPECT_TRUE(EncodeAnimation(0, 4, Palette(2), {frame}).empty());
  EXPECT_TRUE(EncodeAnimation(2, 2, Palette(1), {frame}).empty());
  EXPECT_TRUE(EncodeAnimation(2, 2, Palette(257), {frame}).empty());
  EXPECT_TRUE(EncodeAnimation(2, 2, Palette(2), {}).empty());
  EXPECT_TRUE(EncodeAnimation(3, 2, Palette(2), {frame}).empty());
  frame.pixels[3] = 2;  // outside a two-colour palette
  EXPECT_TRUE(EncodeAnimation(2, 2, Palette(2), {frame}).empty());
}

}  // namespace
}  // namespace korvane::gif
