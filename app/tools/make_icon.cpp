// Build-time generator of the application icon: composes the icon as an SVG document and renders
// it with librsvg at the usual hicolor sizes, so the scalable and the bitmap icons are one
// drawing. Usage: korvane_make_icon OUTDIR, which receives OUTDIR/scalable/apps/korvane.svg and
// OUTDIR/NxN/apps/korvane.png.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "standin/svg_renderer.h"

namespace {

namespace fs = std::filesystem;

// The sizes desktop environments look up in the hicolor theme.
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

constexpr std::string_view kPaper = "#ffffff";
constexpr std::string_view kAccent = "#ffb347";

// A rounded tile in teal; on it a vector curve with its two anchor points and their handles (the
// collection's icons are path data), and below it an arrow into a tray (each one is saved as a
// file).
std::string DrawIcon() {
  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
      "viewBox=\"0 0 256 256\">\n"
      "<defs><linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
      "<stop offset=\"0\" stop-color=\"#34a89a\"/><stop offset=\"1\" stop-color=\"#1c6482\"/>"
      "</linearGradient></defs>\n"
      "<rect x=\"12\" y=\"12\" width=\"232\" height=\"232\" rx=\"48\" fill=\"url(#tile)\"/>\n";
  const auto stroke = [](std::string_view colour, int width) {
    return " fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"" +
           std::to_string(width) + "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
  };
  // The handles first, so that the curve and the anchors cover their ends.
  svg += "<path d=\"M52 112 L84 44 M204 112 L172 44\"" + stroke("#bfe8e2", 6) + "/>\n";
  svg += "<circle cx=\"84\" cy=\"44\" r=\"10\" fill=\"#bfe8e2\"/>\n";
  svg += "<circle cx=\"172\" cy=\"44\" r=\"10\" fill=\"#bfe8e2\"/>\n";
  svg += "<path d=\"M52 112 C84 44 172 44 204 112\"" + stroke(kPaper, 14) + "/>\n";
  for (const int x : {52, 204}) {
    svg += "<rect x=\"" + std::to_string(x - 14) +
           "\" y=\"98\" width=\"28\" height=\"28\" rx=\"4\" fill=\"" + std::string(kPaper) +
           "\" stroke=\"#1c6482\" stroke-width=\"5\"/>\n";
  }
  svg += "<path d=\"M128 96 V182 M96 150 L128 184 L160 150\"" + stroke(kAccent, 18) + "/>\n";
  svg += "<path d=\"M64 186 V212 H192 V186\"" + stroke(kPaper, 14) + "/>\n";
  svg += "</svg>\n";
  return svg;
}

bool WriteFile(const fs::path& path, std::string_view bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "cannot write " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTDIR\n";
    return 2;
  }
  const fs::path out = argv[1];
  const std::string svg = DrawIcon();
  if (!WriteFile(out / "scalable" / "apps" / "korvane.svg", svg))
    return 1;
  for (const int size : kSizes) {
    const auto rendered = korvane::standin::RenderSvgToPng(svg, size);
    if (!rendered.ok || rendered.width != size || rendered.height != size) {
      std::cerr << "the icon could not be rendered at " << size << " pixels: " << rendered.error
                << "\n";
      return 1;
    }
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    if (!WriteFile(out / name / "apps" / "korvane.png", rendered.png))
      return 1;
  }
  return 0;
}
