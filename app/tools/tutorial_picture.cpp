#include "app/tools/tutorial_picture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace korvane::gif {
namespace {

constexpr int kWidth = 620;
constexpr int kHeight = 374;

enum Colour : std::uint8_t {
  kWhite,
  kPage,
  kChrome,
  kChromeDark,
  kText,
  kMuted,
  kCard,
  kCardBorder,
  kRed,
  kBlue,
  kGreen,
  kOrange,
  kPurple,
  kHighlight,
  kPointer,
  kTeal,
};

const std::vector<Rgb> kPalette = {
    {255, 255, 255}, {245, 246, 248}, {222, 225, 230}, {150, 156, 166},
    {40, 44, 52},    {120, 126, 136}, {255, 255, 255}, {214, 218, 224},
    {228, 40, 40},   {52, 120, 220},  {46, 170, 90},   {245, 150, 30},
    {140, 80, 200},  {255, 236, 140}, {20, 20, 20},    {30, 170, 170},
};

// A 5 by 7 pixel font for the few characters the page shows; each row is five columns.
struct Glyph {
  char ch;
  std::array<std::string_view, 7> rows;
};

constexpr Glyph kFont[] = {
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#....", ".###."}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'h', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
    {'n', {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", "####.", "#...#", "#...#", "####.", "#....", "#...."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'t', {"..#..", "..#..", "#####", "..#..", "..#..", "..#..", "...##"}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####"}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'y', {".....", ".....", "#...#", "#...#", ".####", "....#", ".###."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

class Canvas {
 public:
  Canvas() : pixels_(static_cast<std::size_t>(kWidth) * kHeight, kPage) {}

  void Fill(int x, int y, int w, int h, std::uint8_t colour) {
    for (int row = std::max(0, y); row < std::min(kHeight, y + h); ++row) {
      for (int col = std::max(0, x); col < std::min(kWidth, x + w); ++col) {
        pixels_[static_cast<std::size_t>(row) * kWidth + col] = colour;
      }
    }
  }

  void Frame(int x, int y, int w, int h, int thickness, std::uint8_t colour) {
    Fill(x, y, w, thickness, colour);
    Fill(x, y + h - thickness, w, thickness, colour);
    Fill(x, y, thickness, h, colour);
    Fill(x + w - thickness, y, thickness, h, colour);
  }

  void Disc(int cx, int cy, int radius, std::uint8_t colour) {
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        if (dx * dx + dy * dy <= radius * radius) {
          Fill(cx + dx, cy + dy, 1, 1, colour);
        }
      }
    }
  }

  // Writes `text` at `scale` times the font's size; returns the width drawn.
  int Text(int x, int y, std::string_view text, int scale, std::uint8_t colour) {
    int pen = x;
    for (char ch : text) {
      for (const Glyph& glyph : kFont) {
        if (glyph.ch != ch) {
          continue;
        }
        for (int row = 0; row < 7; ++row) {
          for (int col = 0; col < 5; ++col) {
            if (glyph.rows[row][col] == '#') {
              Fill(pen + col * scale, y + row * scale, scale, scale, colour);
            }
          }
        }
      }
      pen += 6 * scale;
    }
    return pen - x;
  }

  // The mouse pointer: a filled arrow with its tip at x,y.
  void Pointer(int x, int y) {
    for (int row = 0; row < 18; ++row) {
      const int span = row < 12 ? row / 2 + 1 : 12 - row + 6;
      Fill(x, y + row, std::max(1, span), 1, kPointer);
    }
    Fill(x + 4, y + 12, 3, 8, kPointer);
  }

  std::vector<std::uint8_t> Take() { return std::move(pixels_); }

 private:
  std::vector<std::uint8_t> pixels_;
};

constexpr int kCardColumns = 6;
constexpr int kCardRows = 2;
constexpr int kCardLeft = 30;
constexpr int kCardTop = 120;
constexpr int kCardWidth = 86;
constexpr int kCardHeight = 92;
constexpr int kCardGap = 10;
// The collection the pointer moves onto.
constexpr int kTargetColumn = 1;
constexpr int kTargetRow = 1;

void DrawPage(Canvas& canvas, bool hovering) {
  // Browser chrome: tab strip and address bar.
  canvas.Fill(0, 0, kWidth, 44, kChrome);
  canvas.Fill(0, 43, kWidth, 1, kChromeDark);
  canvas.Fill(12, 10, 596, 24, kWhite);
  canvas.Frame(12, 10, 596, 24, 1, kChromeDark);
  canvas.Text(22, 15, "icons.example.com/collections/index?type=3", 2, kMuted);

  // Page header.
  canvas.Fill(0, 44, kWidth, 40, kWhite);
  canvas.Fill(0, 83, kWidth, 1, kCardBorder);
  canvas.Disc(34, 64, 11, kRed);
  canvas.Text(54, 57, "icons", 2, kText);
  canvas.Text(150, 60, "collections", 2, kMuted);
  canvas.Text(30, 94, "uid 8842", 2, kMuted);

  // Collection cards, each with a small icon and its title.
  static constexpr std::uint8_t kIconColours[] = {kBlue, kGreen, kOrange, kPurple, kTeal, kRed};
  for (int row = 0; row < kCardRows; ++row) {
    for (int col = 0; col < kCardColumns; ++col) {
      const int x = kCardLeft + col * (kCardWidth + kCardGap);
      const int y = kCardTop + row * (kCardHeight + kCardGap);
      const bool target = hovering && row == kTargetRow && col == kTargetColumn;
      canvas.Fill(x, y, kCardWidth, kCardHeight, kCard);
      canvas.Frame(x, y, kCardWidth, kCardHeight, target ? 2 : 1, target ? kBlue : kCardBorder);
      const std::uint8_t colour = kIconColours[(row * kCardColumns + col) % 6];
      for (int k = 0; k < 3; ++k) {
        canvas.Disc(x + 22 + k * 21, y + 32, 8, colour);
      }
      canvas.Fill(x + 14, y + 56, 58, 4, kCardBorder);
      canvas.Fill(x + 14, y + 66, 36, 4, kCardBorder);
    }
  }

  // Status bar along the bottom.
  canvas.Fill(0, kHeight - 30, kWidth, 30, kChrome);
  canvas.Fill(0, kHeight - 30, kWidth, 1, kChromeDark);
}

}  // namespace

Animation DrawTutorialAnimation() {
  Animation animation;
  animation.width = kWidth;
  animation.height = kHeight;
  animation.palette = kPalette;

  const int targetX = kCardLeft + kTargetColumn * (kCardWidth + kCardGap) + kCardWidth / 2;
  const int targetY = kCardTop + kTargetRow * (kCardHeight + kCardGap) + kCardHeight / 2;
  constexpr int kStartX = 520;
  constexpr int kStartY = 100;
  constexpr int kMoveFrames = 6;
  constexpr int kHighlightFrames = 8;

  for (int i = 0; i < kMoveFrames + kHighlightFrames; ++i) {
    Canvas canvas;
    const bool hovering = i >= kMoveFrames;
    DrawPage(canvas, hovering);
    if (hovering) {
      // The link of the collection under the pointer, its cid highlighted and blinking.
      constexpr int kStatusY = kHeight - 22;
      const int prefix =
          canvas.Text(10, kStatusY, "icons.example.com/collections/detail?", 2, kText);
      const int cidX = 10 + prefix;
      const int cidWidth = 9 * 12;
      const bool lit = (i - kMoveFrames) % 2 == 0;
      canvas.Fill(cidX - 4, kStatusY - 4, cidWidth + 6, 22, lit ? kHighlight : kChrome);
      canvas.Frame(cidX - 6, kStatusY - 6, cidWidth + 10, 26, 3, kRed);
      canvas.Text(cidX, kStatusY, "cid=12527", 2, kRed);
    }
    const int step = std::min(i, kMoveFrames - 1);
    const int x = kStartX + (targetX - kStartX) * step / (kMoveFrames - 1);
    const int y = kStartY + (targetY - kStartY) * step / (kMoveFrames - 1);
    canvas.Pointer(x, y);
    animation.frames.push_back({canvas.Take(), hovering ? 45 : 18});
  }
  return animation;
}

}  // namespace korvane::gif
