// The whole-markup document builder and the local renderer: the documents stand alone, keep the
// icon's own paint and structure, and the renderer's PNG files hold exactly librsvg's picture.
#include "pipeline/full_document.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/svg_renderer.h"
#include "png/png_pixels.h"
#include "standin/svg_renderer.h"

namespace korvane {
namespace {

using testing::DecodePng;
using testing::MaxChannelDifference;
using testing::Pixels;

TEST(FullDocumentTest, MakesTheSvgElementStandAlone) {
  struct Case {
    const char* name;
    const char* markup;
    const char* document;
  };
  const Case cases[] = {
      {"namespace added, size from the viewBox",
       "<svg class=\"icon\" viewBox=\"0 0 1024 512\"><path d=\"M0 0H9\"/></svg>",
       "<svg class=\"icon\" viewBox=\"0 0 1024 512\" xmlns=\"http://www.w3.org/2000/svg\" "
       "width=\"1024\" height=\"512\"><path d=\"M0 0H9\"/></svg>"},
      {"width and height replaced, commas in the viewBox",
       "<svg width=\"1em\" viewBox=\"0,0,24,24\" height=\"1em\" "
       "xmlns=\"http://www.w3.org/2000/svg\" stroke=\"red\"><g><path d='M1 1'/></g></svg>",
       "<svg viewBox=\"0,0,24,24\" xmlns=\"http://www.w3.org/2000/svg\" stroke=\"red\" "
       "width=\"24\" height=\"24\"><g><path d='M1 1'/></g></svg>"},
      {"no usable viewBox keeps the size",
       "<svg width=\"10\" height=\"20\" viewBox=\"0 0 0 5\"></svg>",
       "<svg width=\"10\" height=\"20\" viewBox=\"0 0 0 5\" xmlns=\"http://www.w3.org/2000/svg\">"
       "</svg>"},
      {"text around the element and a second element dropped, nested svg kept",
       "junk<svg viewBox=\"0 0 2 2\"><svg x=\"1\"><rect/></svg><circle/></svg>tail<svg></svg>",
       "<svg viewBox=\"0 0 2 2\" xmlns=\"http://www.w3.org/2000/svg\" width=\"2\" height=\"2\">"
       "<svg x=\"1\"><rect/></svg><circle/></svg>"},
      {"xlink declared where it is used", "<svg viewBox=\"0 0 4 4\"><use xlink:href=\"#a\"/></svg>",
       "<svg viewBox=\"0 0 4 4\" xmlns=\"http://www.w3.org/2000/svg\" "
       "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"4\" height=\"4\">"
       "<use xlink:href=\"#a\"/></svg>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto document = BuildFullDocument(c.markup);
    ASSERT_TRUE(document);
    EXPECT_EQ(*document, c.document);
  }
  EXPECT_FALSE(BuildFullDocument(""));
  EXPECT_FALSE(BuildFullDocument("<svgx viewBox=\"0 0 1 1\"></svgx>"));
}

TEST(FullDocumentTest, ReadsViewBoxSizes) {
  EXPECT_EQ(ViewBoxSize("0 0 1024 1024"), std::make_pair(1024.0, 1024.0));
  EXPECT_EQ(ViewBoxSize(" -5,-5 , 10.5 3 "), std::make_pair(10.5, 3.0));
  EXPECT_FALSE(ViewBoxSize("0 0 10"));
  EXPECT_FALSE(ViewBoxSize("0 0 10 -1"));
  EXPECT_FALSE(ViewBoxSize("0 0 10 10 10"));
  EXPECT_FALSE(ViewBoxSize("a b c d"));
  EXPECT_FALSE(ViewBoxSize(""));
}

TEST(FullDocumentTest, RecoloursEveryPaintButNone) {
  const std::string recoloured = RecolorDocument(
      "<svg viewBox=\"0 0 1 1\"><!-- fill=\"red\" --><path fill=\"#123456\" stroke='none' "
      "style=\"fill:blue; stroke : green;opacity:.5\"/><stop stop-color=\"red\"/>"
      "<text>fill=\"red\"</text></svg>",
      "#ABCDEF");
  EXPECT_EQ(recoloured,
            "<svg viewBox=\"0 0 1 1\" fill=\"#ABCDEF\" color=\"#ABCDEF\"><!-- fill=\"red\" -->"
            "<path fill=\"#ABCDEF\" stroke='none' style=\"fill:#ABCDEF; stroke :#ABCDEF;"
            "opacity:.5\"/><stop stop-color=\"#ABCDEF\"/><text>fill=\"red\"</text></svg>");
  // A root that says fill="none" keeps it.
  EXPECT_EQ(RecolorDocument("<svg fill=\"none\" stroke=\"#000\"></svg>", "#00FF00"),
            "<svg fill=\"none\" stroke=\"#00FF00\" color=\"#00FF00\"></svg>");
  EXPECT_TRUE(IsHexColor("#a0B9ff"));
  for (const char* bad : {"", "a0b9ff", "#a0b9f", "#a0b9ffe", "#g0b9ff", "red"})
    EXPECT_FALSE(IsHexColor(bad)) << bad;
}

// librsvg's own picture of a document: drawn and written by cairo, as the stand-in service does.
Pixels LibrsvgPicture(const std::string& document, int size) {
  const auto reference = standin::RenderSvgToPng(document, size);
  EXPECT_TRUE(reference.ok) << reference.error;
  return DecodePng(reference.png);
}

Pixels LocalPicture(const std::string& document, int size) {
  const auto picture = platform::MakeLibrsvgRenderer()->Render(document, size);
  EXPECT_TRUE(picture.ok) << picture.error;
  return DecodePng(picture.png);
}

// The kinds of icons the path-run builder could not make: each must render visibly and as
// librsvg draws it, at the viewBox's own size (where pixels are easy to name) and at 256 px.
TEST(FullDocumentTest, RendersStrokeGroupAndFillRuleIconsAsLibrsvgDoes) {
  struct Probe {
    int x, y;
    uint32_t rgba;  // expected straight RGBA at (x, y) in the 100 px picture
  };
  struct Case {
    const char* name;
    const char* markup;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"stroke on the root element",
       "<svg viewBox=\"0 0 100 100\" fill=\"none\" stroke=\"#ff0000\" stroke-width=\"20\">"
       "<path d=\"M10 50H90\"/></svg>",
       {{50, 50, 0xff0000ff}, {50, 20, 0}, {5, 50, 0}}},
      {"a transformed group",
       "<svg viewBox=\"0 0 100 100\"><g transform=\"translate(50 0)\" fill=\"#00ff00\">"
       "<path d=\"M0 0H50V50H0Z\"/></g></svg>",
       {{75, 25, 0x00ff00ff}, {25, 25, 0}, {75, 75, 0}}},
      {"fill-rule before d",
       "<svg viewBox=\"0 0 100 100\"><path fill-rule=\"evenodd\" "
       "d=\"M10 10H90V90H10Z M30 30H70V70H30Z\" fill=\"#0000ff\"/></svg>",
       {{20, 20, 0x0000ffff}, {50, 50, 0}, {5, 5, 0}}},
      {"fill-rule after d",
       "<svg viewBox=\"0 0 100 100\"><path d=\"M10 10H90V90H10Z M30 30H70V70H30Z\" "
       "fill-rule=\"evenodd\" fill=\"#0000ff\"/></svg>",
       {{20, 20, 0x0000ffff}, {50, 50, 0}, {5, 5, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto document = BuildFullDocument(c.markup);
    ASSERT_TRUE(document);
    const std::string utf8 = platform::GbkToUtf8(*document);
    const Pixels local = LocalPicture(utf8, 100);
    ASSERT_TRUE(local.ok());
    ASSERT_EQ(local.width, 100);
    for (const Probe& p : c.probes) {
      const uint8_t* px = local.At(p.x, p.y);
      const uint32_t rgba = uint32_t(px[0]) << 24 | px[1] << 16 | px[2] << 8 | px[3];
      EXPECT_EQ(rgba, p.rgba) << "at " << p.x << "," << p.y;
    }
    for (int size : {100, 256}) {
      EXPECT_LE(MaxChannelDifference(LocalPicture(utf8, size), LibrsvgPicture(utf8, size)), 1)
          << "at " << size << " px";
    }
  }
}

TEST(FullDocumentTest, RecolouredIconsRenderInTheGivenColour) {
  const auto document = BuildFullDocument(
      "<svg viewBox=\"0 0 100 100\"><path d=\"M0 0H100V100H0Z\"/>"
      "<path d=\"M0 0H50V50H0Z\" fill=\"none\" stroke=\"#123456\" stroke-width=\"10\"/></svg>");
  ASSERT_TRUE(document);
  const Pixels pixels =
      LocalPicture(platform::GbkToUtf8(RecolorDocument(*document, "#336699")), 100);
  ASSERT_TRUE(pixels.ok());
  for (auto [x, y] : {std::pair{80, 80}, std::pair{50, 25}, std::pair{25, 25}}) {
    const uint8_t* px = pixels.At(x, y);
    EXPECT_EQ(std::vector<int>(px, px + 4), (std::vector<int>{0x33, 0x66, 0x99, 255}));
  }
}

TEST(FullDocumentTest, TheRendererRefusesWhatLibrsvgRejects) {
  auto renderer = platform::MakeLibrsvgRenderer();
  for (const char* document :
       {"", "<svg xmlns=\"http://www.w3.org/2000/svg\"><g></svg>", "not xml at all"}) {
    const auto picture = renderer->Render(document, 64);
    EXPECT_FALSE(picture.ok) << document;
    EXPECT_FALSE(picture.error.empty());
    EXPECT_TRUE(picture.png.empty());
  }
  const std::string fine = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 20 10\"/>";
  EXPECT_FALSE(renderer->Render(fine, 0).ok);
  EXPECT_FALSE(renderer->Render(fine, 8193).ok);
  const auto wide = renderer->Render(fine, 64);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(wide.width, 64);
  EXPECT_EQ(wide.height, 32);
}

}  // namespace
}  // namespace korvane
