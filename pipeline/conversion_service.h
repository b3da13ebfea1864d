// One SVG document through the online conversion service: upload as multipart form data, ask for
// the conversion, poll the status once a second up to ten times, then download the PNG and save
// it in the download folder.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/conversion_context.h"
#include "pipeline/document_state.h"

namespace korvane {

// The boundary of the upload body and the Content-Type line every service request carries.
inline constexpr std::string_view kUploadBoundary = "----WebKitFormBoundaryNiSHR5Sz849aAU0E";
inline constexpr std::string_view kUploadContentType =
    "Content-Type: multipart/form-data; boundary=----WebKitFormBoundaryNiSHR5Sz849aAU0E";

// How one document ended.
enum class ConversionOutcome {
  kSaved,      // the PNG is in the folder
  kFailed,     // given up: "转换失败" shown, failureCount raised
  kCancelled,  // a stop request ended it; nothing more was written
};

// The upload body for a document: the template with its file name, upload id and code filled in.
std::string FillUploadBody(std::string_view fileName, std::string_view uploadId,
                           std::string_view document);

// The number that a "progress" text reads as: leading blanks skipped, the longest leading decimal
// number taken, truncated toward zero; 0 when there is none.
int ProgressPosition(std::string_view progress);

// Converts the document in context.state.svgText and saves it as
// <text of 编辑框2><iconTimeText>.png (or the next free name). Reads svgText and iconTimeText,
// writes uploadId, raises failureCount on a failure.
ConversionOutcome ConvertViaService(ConversionContext& context);

// The same for a document with its own state, as batch runs convert several at once: reads its
// svgText and iconTimeText, saves to its pngPath, writes its uploadId, raises its failureCount.
// Touches nothing of context.state.
ConversionOutcome ConvertDocumentViaService(ConversionContext& context, DocumentState& document);

}  // namespace korvane
