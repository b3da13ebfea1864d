// Which PNG encoder the local renderer should use. Every icon of the bundled sample collections
// is drawn once with librsvg at 256 px; then each candidate encodes all of those pictures, the
// candidates taking turns round after round (ABCD ABCD ...), and the median and spread of each
// one's CPU time per picture are printed with the bytes it produced. Every candidate's output is
// decoded again and compared with cairo's own writer, pixel for pixel.
// Usage: bench_png_encoders [--rounds N]
#include <cairo.h>
#include <librsvg/rsvg.h>
#include <png.h>
#include <spng.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/png_writer.h"
#include "script/json_object.h"
#include "standin/sample_collections.h"

namespace {

namespace fs = std::filesystem;
constexpr int kSize = 256;

// The thread's CPU time: on a machine shared with other work the wall clock mostly measures the
// others; the encoders run on this one thread and wait for nothing.
double NowSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Picture {
  cairo_surface_t* surface = nullptr;
  const unsigned char* data() const { return cairo_image_surface_get_data(surface); }
  int width() const { return cairo_image_surface_get_width(surface); }
  int height() const { return cairo_image_surface_get_height(surface); }
  int stride() const { return cairo_image_surface_get_stride(surface); }
};

// Every show_svg of the bundled collections, drawn at 256 by 256.
std::vector<Picture> DrawSamples() {
  std::vector<Picture> pictures;
  for (const auto& collection : korvane::standin::samples::kAll) {
    std::ifstream in(fs::path(korvane::standin::samples::BundledSamplesDir()) /
                     (std::string(collection.id) + ".json"));
    std::stringstream text;
    text << in.rdbuf();
    korvane::JsonObject json;
    json.Parse(text.str());
    const int count = json.Count("data.icons");
    for (int i = 0; i < count; ++i) {
      const std::string svg = json.GetText("data.icons[" + std::to_string(i) + "].show_svg", false);
      RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()),
                                                     svg.size(), nullptr);
      if (!handle)
        continue;
      Picture p{cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize)};
      cairo_t* cr = cairo_create(p.surface);
      const RsvgRectangle viewport{0, 0, kSize, kSize};
      rsvg_handle_render_document(handle, cr, &viewport, nullptr);
      cairo_destroy(cr);
      g_object_unref(handle);
      cairo_surface_flush(p.surface);
      pictures.push_back(p);
    }
  }
  return pictures;
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string CairoWriter(const Picture& p) {
  std::string out;
  cairo_surface_write_to_png_stream(p.surface, Append, &out);
  return out;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}

std::string Libpng(const Picture& p, int level, int filter) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> row(4 * static_cast<size_t>(p.width()));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, level);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
  png_set_IHDR(png, info, p.width(), p.height(), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < p.height(); ++y) {
    korvane::platform::UnpremultiplyRow(p.data() + static_cast<size_t>(y) * p.stride(), p.width(),
                                        row.data());
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string Spng(const Picture& p, int level, int filter) {
  std::vector<unsigned char> rgba(4 * static_cast<size_t>(p.width()) * p.height());
  for (int y = 0; y < p.height(); ++y) {
    korvane::platform::UnpremultiplyRow(p.data() + static_cast<size_t>(y) * p.stride(), p.width(),
                                        rgba.data() + 4 * static_cast<size_t>(y) * p.width());
  }
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
  spng_set_option(ctx, SPNG_FILTER_CHOICE, filter);
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(p.width());
  ihdr.height = static_cast<uint32_t>(p.height());
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  spng_set_ihdr(ctx, &ihdr);
  std::string out;
  if (spng_encode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0) {
    size_t size = 0;
    int error = 0;
    void* buffer = spng_get_png_buffer(ctx, &size, &error);
    if (buffer) {
      out.assign(static_cast<const char*>(buffer), size);
      free(buffer);
    }
  }
  spng_ctx_free(ctx);
  return out;
}

// Straight-alpha RGBA pixels of a PNG file, through libspng's decoder.
std::vector<unsigned char> Decode(const std::string& file) {
  std::vector<unsigned char> out;
  spng_ctx* ctx = spng_ctx_new(0);
  spng_set_png_buffer(ctx, file.data(), file.size());
  size_t size = 0;
  if (spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0) {
    out.resize(size);
    if (spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, 0) != 0)
      out.clear();
  }
  spng_ctx_free(ctx);
  return out;
}

struct Candidate {
  std::string name;
  std::function<std::string(const Picture&)> encode;
  std::vector<double> perPicture;  // microseconds per picture, one figure per round
  size_t bytes = 0;
  bool exact = true;
};

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
    rounds = std::max(1, std::atoi(argv[2]));
  const std::vector<Picture> pictures = DrawSamples();
  if (pictures.empty()) {
    std::fprintf(stderr, "no sample pictures under %s\n",
                 korvane::standin::samples::BundledSamplesDir().c_str());
    return 1;
  }
  using korvane::platform::PngFilter;
  const auto deflate = [](int level, PngFilter filter) {
    return [=](const Picture& p) {
      return korvane::platform::EncodePremultipliedArgbPng(p.data(), p.width(), p.height(),
                                                           p.stride(), {level, filter});
    };
  };
  std::vector<Candidate> candidates = {
      {"cairo writer (zlib default)", CairoWriter, {}},
      {"libpng level 1, up", [](const Picture& p) { return Libpng(p, 1, PNG_FILTER_UP); }, {}},
      {"libpng level 1, none", [](const Picture& p) { return Libpng(p, 1, PNG_FILTER_NONE); }, {}},
      {"libspng level 1, up",
       [](const Picture& p) { return Spng(p, 1, SPNG_FILTER_CHOICE_UP); },
       {}},
      {"libdeflate level 1, up", deflate(1, PngFilter::kUp), {}},
      {"libdeflate level 1, sub", deflate(1, PngFilter::kSub), {}},
      {"libdeflate level 1, none", deflate(1, PngFilter::kNone), {}},
      {"libdeflate level 2, up", deflate(2, PngFilter::kUp), {}},
      {"libdeflate level 3, up", deflate(3, PngFilter::kUp), {}},
      {"libdeflate level 4, up", deflate(4, PngFilter::kUp), {}},
      {"libdeflate level 4, none", deflate(4, PngFilter::kNone), {}},
      {"libdeflate level 6, up", deflate(6, PngFilter::kUp), {}},
  };

  std::vector<std::vector<unsigned char>> reference;
  for (const Picture& p : pictures)
    reference.push_back(Decode(CairoWriter(p)));

  for (int round = 0; round < rounds; ++round) {
    for (Candidate& c : candidates) {
      size_t bytes = 0;
      const double start = NowSeconds();
      for (size_t i = 0; i < pictures.size(); ++i) {
        const std::string png = c.encode(pictures[i]);
        bytes += png.size();
        if (round == 0 && Decode(png) != reference[i])
          c.exact = false;
      }
      const double elapsed = NowSeconds() - start;
      c.perPicture.push_back(elapsed * 1e6 / static_cast<double>(pictures.size()));
      c.bytes = bytes;
    }
  }

  std::printf("%zu pictures of %d x %d px, %d rounds (candidates interleaved)\n", pictures.size(),
              kSize, kSize, rounds);
  std::printf("%-30s %12s %20s %12s %6s\n", "encoder", "CPU us med", "spread (min-max)",
              "bytes/pic", "exact");
  const double baseline = [&] {
    std::vector<double> v = candidates[0].perPicture;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }();
  for (Candidate& c : candidates) {
    std::sort(c.perPicture.begin(), c.perPicture.end());
    const double median = c.perPicture[c.perPicture.size() / 2];
    std::printf("%-30s %12.1f %9.1f-%-10.1f %12zu %6s  (%.1fx)\n", c.name.c_str(), median,
                c.perPicture.front(), c.perPicture.back(), c.bytes / pictures.size(),
                c.exact ? "yes" : "NO", baseline / median);
  }
  for (const Picture& p : pictures)
    cairo_surface_destroy(p.surface);
  return 0;
}
