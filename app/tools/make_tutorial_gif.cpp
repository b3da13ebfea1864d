// Build-time generator of the tutorial picture: draws the frames and writes them as an animated
// GIF to the path given as its only argument.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/tools/gif_writer.h"
#include "app/tools/tutorial_picture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTPUT.gif\n";
    return 2;
  }
  const korvane::gif::Animation animation = korvane::gif::DrawTutorialAnimation();
  const std::string bytes = korvane::gif::EncodeAnimation(animation.width, animation.height,
                                                          animation.palette, animation.frames);
  if (bytes.empty()) {
    std::cerr << "the tutorial picture could not be encoded\n";
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
