#include "pipeline/icon_documents.h"

#include "pipeline/conversion_service.h"
#include "script/regex_object.h"
#include "util/replace_batch.h"

namespace korvane {
namespace {

constexpr std::string_view kPathPattern = "<path d=(.*?)</svg>";

constexpr std::string_view kDocumentTemplate =
    "<?xml version=\"1.0\" standalone=\"no\"?>\r\n"
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \r\n"
    "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\r\n"
    "\r\n"
    "<svg width=\"100%\" height=\"100%\" class=\"icon\" viewBox=\"图标大小\" version=\"1.1\" "
    "xmlns=\"http://www.w3.org/2000/svg\">\r\n"
    "\r\n"
    "<path d=代码\r\n"
    "\r\n"
    "</svg>\r\n";

// Markup that spans lines still yields its documents: "." never crosses a line break.
std::string FoldLineBreaks(std::string_view markup) {
  std::string folded(markup);
  for (char& c : folded) {
    if (c == '\r' || c == '\n')
      c = ' ';
  }
  return folded;
}

bool SearchRuns(RegexObject& regex, std::string_view markup) {
  return regex.Search(kPathPattern, FoldLineBreaks(markup), false, false, true);
}

}  // namespace

std::string FillDocumentTemplate(std::string_view pathRun, std::string_view viewBox) {
  // The code goes in first, so a "图标大小" inside a path run takes the viewBox as well.
  const std::string withCode =
      ReplaceBatch(kDocumentTemplate, std::nullopt, 1, true, "代码", pathRun);
  return ReplaceBatch(withCode, std::nullopt, 1, true, "图标大小", viewBox);
}

int CountPathRuns(std::string_view markup) {
  RegexObject regex;
  return SearchRuns(regex, markup) ? regex.MatchCount() : 0;
}

std::optional<std::vector<std::string>> PathRunDocuments(std::string_view markup,
                                                         std::string_view viewBox) {
  RegexObject regex;
  if (!SearchRuns(regex, markup))
    return std::nullopt;
  std::vector<std::string> documents;
  const int count = regex.MatchCount();
  for (int i = 1; i <= count; ++i)
    documents.push_back(FillDocumentTemplate(regex.SubMatchText(i, 1), viewBox));
  return documents;
}

int BuildIconDocuments(ConversionContext& context, int& saved, int& failed) {
  AppState& state = context.state;
  RegexObject regex;
  if (!SearchRuns(regex, state.svgText))
    return 0;
  const int count = regex.MatchCount();
  if (count == 0) {
    if (!context.stop.stop_requested())
      context.ui.ShowMessage("无svg代码", kMessageError);
    return 0;
  }
  for (int i = 1; i <= count; ++i) {
    if (context.stop.stop_requested())
      return i - 1;
    state.svgText = FillDocumentTemplate(regex.SubMatchText(i, 1), state.viewBoxText);
    switch (ConvertViaService(context)) {
      case ConversionOutcome::kSaved:
        ++saved;
        break;
      case ConversionOutcome::kFailed:
        ++failed;
        break;
      case ConversionOutcome::kCancelled:
        return i;
    }
  }
  return count;
}

}  // namespace korvane
