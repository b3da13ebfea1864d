// Turns one icon's markup into standalone SVG documents: every run from "<path d=" to "</svg>"
// goes into the document template with the icon's viewBox, and each document is converted and
// saved before the next is built.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/conversion_context.h"

namespace korvane {

// The document for one path run and viewBox value: the nine-line template, each line ending in
// CR LF.
std::string FillDocumentTemplate(std::string_view pathRun, std::string_view viewBox);

// The path runs of `markup` searched as the template expects, or an empty list.
int CountPathRuns(std::string_view markup);

// Every document that BuildIconDocuments would build from `markup` and `viewBox`, in order;
// nullopt when the search could not run, an empty list when the markup has no path run.
std::optional<std::vector<std::string>> PathRunDocuments(std::string_view markup,
                                                         std::string_view viewBox);

// Builds the documents of the markup in context.state.svgText with context.state.viewBoxText and
// converts each through the conversion service. Shows "无svg代码" (error style) when the markup
// has no path run. Returns the number of documents built; counts saved and failed documents into
// `saved` and `failed`.
int BuildIconDocuments(ConversionContext& context, int& saved, int& failed);

}  // namespace korvane
