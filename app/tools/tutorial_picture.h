// Draws the frames of the tutorial picture: a mock collection page of the icon library in a
// browser, a pointer that moves onto a collection, and the link in the lower left status bar whose
// "cid" is then highlighted.
#pragma once

#include <vector>

#include "app/tools/gif_writer.h"

namespace korvane::gif {

struct Animation {
  int width = 0;
  int height = 0;
  std::vector<Rgb> palette;
  std::vector<Frame> frames;
};

Animation DrawTutorialAnimation();

}  // namespace korvane::gif
