#include "platform/svg_renderer.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>

#include "platform/png_writer.h"

namespace korvane::platform {
namespace {

constexpr int kLargestSide = 8192;

struct HandleUnref {
  void operator()(RsvgHandle* h) const { g_object_unref(h); }
};
struct SurfaceDestroy {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDestroy {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct ErrorFree {
  void operator()(GError* e) const { g_error_free(e); }
};

RenderedPicture Failure(std::string error) {
  RenderedPicture r;
  r.error = std::move(error);
  return r;
}

// The document's aspect ratio (width / height) from its intrinsic size in pixels, or failing
// that (percent sizes, as the tool's documents have) from its viewBox; 1 when it has neither.
double AspectRatio(RsvgHandle* handle) {
  double w = 0, h = 0;
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h) && w > 0 && h > 0)
    return w / h;
  gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
  RsvgLength width{}, height{};
  RsvgRectangle viewBox{};
  rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &width, &hasHeight, &height, &hasViewBox,
                                       &viewBox);
  if (hasViewBox && viewBox.width > 0 && viewBox.height > 0)
    return viewBox.width / viewBox.height;
  return 1.0;
}

class LibrsvgRenderer : public SvgRenderer {
 public:
  RenderedPicture Render(std::string_view svg, int longerSide) override {
    return DrawSvgDocument(svg, longerSide,
                           [](const unsigned char* pixels, int width, int height, int stride) {
                             return EncodePremultipliedArgbPng(pixels, width, height, stride);
                           });
  }
};

}  // namespace

RenderedPicture DrawSvgDocument(std::string_view svg, int longerSide, ArgbPngEncoder encode) {
  if (longerSide < 1 || longerSide > kLargestSide)
    return Failure("size out of range");
  if (svg.empty())
    return Failure("empty document");

  GError* rawError = nullptr;
  std::unique_ptr<RsvgHandle, HandleUnref> handle(rsvg_handle_new_from_data(
      reinterpret_cast<const guint8*>(svg.data()), svg.size(), &rawError));
  std::unique_ptr<GError, ErrorFree> error(rawError);
  if (!handle)
    return Failure(error ? error->message : "librsvg refused the document");

  const double aspect = AspectRatio(handle.get());
  int width = longerSide, height = longerSide;
  if (aspect > 1) {
    height = std::max(1, static_cast<int>(std::lround(longerSide / aspect)));
  } else if (aspect < 1) {
    width = std::max(1, static_cast<int>(std::lround(longerSide * aspect)));
  }

  std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    return Failure("cannot make a picture of that size");
  {
    std::unique_ptr<cairo_t, ContextDestroy> cr(cairo_create(surface.get()));
    const RsvgRectangle viewport{0, 0, static_cast<double>(width), static_cast<double>(height)};
    rawError = nullptr;
    const gboolean rendered =
        rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &rawError);
    error.reset(rawError);
    if (!rendered)
      return Failure(error ? error->message : "librsvg could not render");
  }
  cairo_surface_flush(surface.get());

  RenderedPicture result;
  result.png = encode(cairo_image_surface_get_data(surface.get()), width, height,
                      cairo_image_surface_get_stride(surface.get()));
  if (result.png.empty())
    return Failure("PNG encoding failed");
  result.ok = true;
  result.width = width;
  result.height = height;
  return result;
}

std::unique_ptr<SvgRenderer> MakeLibrsvgRenderer() {
  return std::make_unique<LibrsvgRenderer>();
}

}  // namespace korvane::platform
