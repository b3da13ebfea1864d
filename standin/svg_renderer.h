// Renders an SVG document into PNG bytes with librsvg, as the conversion service does: the
// picture is scaled so that its longer side has the requested number of pixels, on a transparent
// background.
#pragma once

#include <string>
#include <string_view>

namespace korvane::standin {

struct RenderResult {
  bool ok = false;
  std::string png;    // the PNG file's bytes when ok
  std::string error;  // why librsvg or cairo refused, when not ok
  int width = 0, height = 0;
};

// Renders `svg` so that its longer side is `longerSide` pixels (1 to 8192); the other side keeps
// the document's aspect ratio. A document without any size (no width, height or viewBox) is
// rendered as a square. Safe to call from several threads at once.
RenderResult RenderSvgToPng(std::string_view svg, int longerSide);

}  // namespace korvane::standin
