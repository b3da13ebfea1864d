// The collections that the stand-in icon library serves out of the box: the tool's default
// collection, drawn for the demo, and small collections that each walk one path of the pipeline.
// The build generates them (sample_generator); tests name them through the ids below.
#pragma once

#include <string>
#include <string_view>

namespace korvane::standin::samples {

struct SampleCollection {
  std::string_view id;
  std::string_view name;
  int icons;       // elements of data.icons (0 when there is no such array)
  int documents;   // standalone SVG documents the tool builds from them (one per svg element)
  int withoutSvg;  // icons with no usable markup (show_svg missing)
};

// About forty drawn icons of one or several paths and colours; the tool's default id.
inline constexpr SampleCollection kDefault{"12527", "Korvane basics", 40, 40, 0};
// One icon of four path elements in four colours, and one of a single path.
inline constexpr SampleCollection kSeveralPaths{"90001", "several paths", 2, 2, 0};
// One icon whose markup holds two svg elements one after the other.
inline constexpr SampleCollection kTwoSvgElements{"90002", "two svg elements", 1, 2, 0};
// One icon with a path of about 200 KB of path data.
inline constexpr SampleCollection kLargePath{"90003", "a 200 KB path", 1, 1, 0};
// Two icons with a line feed in their markup: the first between the svg start tag and its path,
// the second between its path and "</svg>". The tool folds line breaks before it looks for path
// runs, so both yield a document.
inline constexpr SampleCollection kLineBreak{"90004", "line break in markup", 2, 2, 0};
// An svg start tag whose viewBox is not followed by a version attribute.
inline constexpr SampleCollection kNoVersion{"90005", "no version attribute", 1, 1, 0};
// Three icons, the middle one without show_svg.
inline constexpr SampleCollection kMissingSvg{"90006", "missing show_svg", 3, 2, 1};
// Chinese text (a title and a description) inside the markup.
inline constexpr SampleCollection kChineseText{"90007", "中文标题", 1, 1, 0};
// A data member without an icons array.
inline constexpr SampleCollection kNoIcons{"90008", "data without icons", 0, 0, 0};
// An empty icons array.
inline constexpr SampleCollection kEmptyIcons{"90009", "empty icon array", 0, 0, 0};
// Two icons, the first not well-formed XML once wrapped, so its conversion fails.
inline constexpr SampleCollection kBrokenSvg{"90010", "a document the renderer rejects", 2, 2, 0};

inline constexpr SampleCollection kAll[] = {
    kDefault,    kSeveralPaths, kTwoSvgElements, kLargePath,  kLineBreak, kNoVersion,
    kMissingSvg, kChineseText,  kNoIcons,        kEmptyIcons, kBrokenSvg};

// The folder of the generated <id>.json files: share/korvane/samples under the installed program's
// prefix, or the build tree's folder for a program, test or benchmark run from the build tree.
// Empty when the running program cannot be located.
std::string BundledSamplesDir();

}  // namespace korvane::standin::samples
