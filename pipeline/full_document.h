// The whole-markup document builder: one standalone SVG document made from an icon's complete
// markup, so that stroke icons, groups, transforms, gradients and paint on the root element come
// out as the icon library draws them. The path-run builder (icon_documents) keeps only what lies
// between the first "<path d=" and "</svg>"; this one keeps the svg element whole and only makes
// it stand alone: its namespace declared, its size taken from its viewBox.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// Width and height of a viewBox value ("min-x min-y width height", separated by blanks and/or
// commas), or nullopt when it is not four numbers with a positive width and height.
std::optional<std::pair<double, double>> ViewBoxSize(std::string_view viewBox);

// The first svg element of `markup` (the program's text) as a standalone document: its start tag
// keeps every attribute except width and height, which are set to the viewBox's size (kept as
// they are when there is no usable viewBox); the SVG namespace, and the XLink namespace where the
// markup uses it, are declared when missing. Everything inside the element is kept byte for byte.
// Returns nullopt when the markup holds no svg element. A malformed element is returned as it is
// and left for the renderer to refuse.
std::optional<std::string> BuildFullDocument(std::string_view markup);

// `document` with every fill, stroke and stop-color paint (attributes and style properties) set
// to `color` ("#RRGGBB"), except those that read "none"; the root svg element also gets
// fill="color" when it has no fill of its own (the default paint is black) and color="color" for
// paint that says currentColor.
std::string RecolorDocument(std::string_view document, std::string_view color);

// True for "#RRGGBB" (six hexadecimal digits of either case).
bool IsHexColor(std::string_view color);

}  // namespace korvane
