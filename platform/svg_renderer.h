// The renderer seam: one standalone SVG document in, one PNG picture out, in this process and
// without any network. The real implementation draws with librsvg into a cairo picture and
// encodes it with the fast PNG writer; tests may put a failing one in its place.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace korvane::platform {

struct RenderedPicture {
  bool ok = false;
  std::string png;    // the PNG file's bytes when ok
  std::string error;  // why the document could not be drawn, when not ok (UTF-8)
  int width = 0, height = 0;
};

class SvgRenderer {
 public:
  virtual ~SvgRenderer() = default;
  // Draws the UTF-8 document `svg` so that its longer side is `longerSide` pixels (1 to 8192) on
  // a transparent background; the other side keeps the document's aspect ratio (its width and
  // height, else its viewBox; square when it has neither). Safe to call from several threads.
  virtual RenderedPicture Render(std::string_view svg, int longerSide) = 0;
};

// librsvg + cairo, PNG through EncodePremultipliedArgbPng.
std::unique_ptr<SvgRenderer> MakeLibrsvgRenderer();

// Encodes a picture in cairo's ARGB32 layout (premultiplied alpha, native-endian words, rows
// `stride` bytes apart) as PNG bytes; empty on failure.
using ArgbPngEncoder = std::string (*)(const unsigned char* pixels, int width, int height,
                                       int stride);

// Draws `svg` as SvgRenderer::Render does (same sizes, same checks) and encodes the picture with
// `encode`. The renderer above and the stand-in's converter differ only in their encoder.
RenderedPicture DrawSvgDocument(std::string_view svg, int longerSide, ArgbPngEncoder encode);

}  // namespace korvane::platform
