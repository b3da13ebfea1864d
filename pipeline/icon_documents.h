// Turns one icon's markup into standalone SVG documents: every run from "<path d=" to "</svg>"
// goes into the document template with the icon's viewBox, and each document is converted and
// saved before the next is built.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/conversion_context.h"
#include "script/regex_object.h"

namespace korvane {

// The document for one path run and viewBox value: the nine-line template, each line ending in
// CR LF.
std::string FillDocumentTemplate(std::string_view pathRun, std::string_view viewBox);

// The largest document the builder makes. A path run is copied once, but every "图标大小" in it
// takes the whole viewBox, so without a limit one icon of a collection could ask for a document
// of almost any size; no real icon comes near it.
inline constexpr size_t kMaxDocumentBytes = 4 * 1024 * 1024;

// FillDocumentTemplate(pathRun, viewBox), or nothing when that document would be larger than
// kMaxDocumentBytes: the size is worked out before anything that large is built.
std::optional<std::string> BuildDocument(std::string_view pathRun, std::string_view viewBox);

// Searches `markup` for its path runs on `regex`: group 1 of match i is run i. Line breaks in the
// markup count as spaces. False when the search could not run.
bool SearchPathRuns(RegexObject& regex, std::string_view markup);

// The path runs of `markup` searched as the template expects, or an empty list.
int CountPathRuns(std::string_view markup);

// Every document that BuildIconDocuments would build from `markup` and `viewBox`, in order; an
// entry is empty where the document would exceed kMaxDocumentBytes. nullopt when the search
// could not run (`why`, when given, says why), an empty list when the markup has no path run.
std::optional<std::vector<std::string>> PathRunDocuments(std::string_view markup,
                                                         std::string_view viewBox,
                                                         std::string* why = nullptr);

// Builds the documents of the markup in context.state.svgText with context.state.viewBoxText and
// converts each through the conversion service. Shows "无svg代码" (error style) when the markup
// has no path run. A document over kMaxDocumentBytes is not built: it fails as a conversion does
// ("转换失败", failureCount raised). Returns the number of documents built; counts saved and failed
// documents into `saved` and `failed`.
int BuildIconDocuments(ConversionContext& context, int& saved, int& failed);

}  // namespace korvane
