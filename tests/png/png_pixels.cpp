#include "png/png_pixels.h"

#include <spng.h>

#include <cstdlib>
#include <memory>

namespace korvane::testing {

Pixels DecodePng(std::string_view png) {
  Pixels pixels;
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(0), spng_ctx_free);
  if (!ctx || spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0)
    return pixels;
  spng_ihdr ihdr{};
  size_t size = 0;
  if (spng_get_ihdr(ctx.get(), &ihdr) != 0 ||
      spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0) {
    return pixels;
  }
  pixels.rgba.resize(size);
  if (spng_decode_image(ctx.get(), pixels.rgba.data(), size, SPNG_FMT_RGBA8, 0) != 0) {
    pixels.rgba.clear();
    return pixels;
  }
  pixels.width = static_cast<int>(ihdr.width);
  pixels.height = static_cast<int>(ihdr.height);
  return pixels;
}

int MaxChannelDifference(const Pixels& a, const Pixels& b) {
  if (!a.ok() || !b.ok() || a.width != b.width || a.height != b.height)
    return 256;
  int worst = 0;
  for (size_t i = 0; i < a.rgba.size(); ++i)
    worst = std::max(worst, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
  return worst;
}

}  // namespace korvane::testing
