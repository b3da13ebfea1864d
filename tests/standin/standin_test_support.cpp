#include "standin_test_support.h"

#include <cairo.h>

#include <cstring>

namespace korvane::standin::testing {

std::string ToolDocument(const std::string& pathRun, const std::string& viewBox) {
  return "<?xml version=\"1.0\" standalone=\"no\"?>\r\n"
         "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \r\n"
         "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\r\n"
         "\r\n"
         "<svg width=\"100%\" height=\"100%\" class=\"icon\" viewBox=\"" +
         viewBox +
         "\" version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\">\r\n"
         "\r\n"
         "<path d=" +
         pathRun +
         "\r\n"
         "\r\n"
         "</svg>\r\n";
}

std::string UploadBody(const std::string& fileName, const std::string& uploadId,
                       const std::string& document) {
  const std::string delimiter = std::string("--") + kBoundary;
  return "\r\n" + delimiter + "\r\n" + "Content-Disposition: form-data; name=\"name\"\r\n\r\n" +
         fileName + "\r\n" + delimiter + "\r\n" +
         "Content-Disposition: form-data; name=\"id\"\r\n\r\n" + uploadId + "\r\n" + delimiter +
         "\r\n" + "Content-Disposition: form-data; name=\"file\"; filename=\"" + fileName +
         "\"\r\n" + "Content-Type: image/svg+xml\r\n\r\n" + document + "\r\n\r\n" + delimiter +
         "--";
}

namespace {
struct Reader {
  const std::string* data;
  size_t offset = 0;
};
cairo_status_t Read(void* closure, unsigned char* out, unsigned int length) {
  auto* r = static_cast<Reader*>(closure);
  if (r->data->size() - r->offset < length)
    return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, r->data->data() + r->offset, length);
  r->offset += length;
  return CAIRO_STATUS_SUCCESS;
}
}  // namespace

Picture DecodePng(const std::string& png) {
  Picture p;
  Reader reader{&png};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(Read, &reader);
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
      cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32) {
    cairo_surface_flush(s);
    p.ok = true;
    p.width = cairo_image_surface_get_width(s);
    p.height = cairo_image_surface_get_height(s);
    p.stride = cairo_image_surface_get_stride(s);
    p.argb.assign(reinterpret_cast<const char*>(cairo_image_surface_get_data(s)),
                  static_cast<size_t>(p.stride) * p.height);
  }
  cairo_surface_destroy(s);
  return p;
}

uint32_t Picture::At(int x, int y) const {
  uint32_t v;
  std::memcpy(&v, argb.data() + static_cast<size_t>(y) * stride + x * 4, 4);
  const uint32_t a = v >> 24;
  if (a == 0)
    return 0;
  const auto un = [&](int shift) { return (((v >> shift) & 0xFF) * 255 + a / 2) / a; };
  return (a << 24) | (un(16) << 16) | (un(8) << 8) | un(0);
}

}  // namespace korvane::standin::testing
