// Renders an SVG document into PNG bytes with librsvg, as the conversion service does: the
// picture is scaled so that its longer side has the requested number of pixels, on a transparent
// background, and written by cairo's own PNG writer. The drawing is the local renderer's
// (platform/svg_renderer.h); only the encoder is the service's own.
#pragma once

#include <string_view>

#include "platform/svg_renderer.h"

namespace korvane::standin {

using RenderResult = platform::RenderedPicture;

// Renders `svg` so that its longer side is `longerSide` pixels (1 to 8192); the other side keeps
// the document's aspect ratio. A document without any size (no width, height or viewBox) is
// rendered as a square. Safe to call from several threads at once.
RenderResult RenderSvgToPng(std::string_view svg, int longerSide);

}  // namespace korvane::standin
