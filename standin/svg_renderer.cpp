#include "standin/svg_renderer.h"

#include <cairo.h>

#include <memory>
#include <string>

namespace korvane::standin {
namespace {

struct SurfaceDestroy {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// cairo's own PNG writer over the drawn picture, as the conversion service encodes.
std::string CairoPng(const unsigned char* pixels, int width, int height, int stride) {
  // cairo only reads the pixels to write them out.
  std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(cairo_image_surface_create_for_data(
      const_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, stride));
  std::string png;
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
      cairo_surface_write_to_png_stream(surface.get(), AppendToString, &png) !=
          CAIRO_STATUS_SUCCESS) {
    return {};
  }
  return png;
}

}  // namespace

RenderResult RenderSvgToPng(std::string_view svg, int longerSide) {
  return platform::DrawSvgDocument(svg, longerSide, &CairoPng);
}

}  // namespace korvane::standin
