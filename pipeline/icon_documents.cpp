#include "pipeline/icon_documents.h"

#include "pipeline/conversion_service.h"
#include "script/regex_object.h"
#include "util/gbk_text.h"
#include "util/replace_batch.h"

namespace korvane {
namespace {

constexpr std::string_view kCodeMark = "代码";
constexpr std::string_view kViewBoxMark = "图标大小";

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

}  // namespace

bool SearchPathRuns(RegexObject& regex, std::string_view markup) {
  return regex.Search(kPathPattern, FoldLineBreaks(markup), false, false, true);
}

namespace {

std::string_view SearchFailureText(RegexObject::SearchFailure failure) {
  switch (failure) {
    case RegexObject::SearchFailure::kGaveUp:
      return "the path search gave up at the regex engine's limits";
    case RegexObject::SearchFailure::kRejected:
      return "the regex engine rejected the path pattern";
    case RegexObject::SearchFailure::kNone:
    case RegexObject::SearchFailure::kUnavailable:
      break;
  }
  return "the path search could not run (no regex engine)";
}

}  // namespace

std::string FillDocumentTemplate(std::string_view pathRun, std::string_view viewBox) {
  // The code goes in first, so a "图标大小" inside a path run takes the viewBox as well.
  const std::string withCode =
      ReplaceBatch(kDocumentTemplate, std::nullopt, 1, true, kCodeMark, pathRun);
  return ReplaceBatch(withCode, std::nullopt, 1, true, kViewBoxMark, viewBox);
}

std::optional<std::string> BuildDocument(std::string_view pathRun, std::string_view viewBox) {
  const std::string withCode =
      ReplaceBatch(kDocumentTemplate, std::nullopt, 1, true, kCodeMark, pathRun);
  // The marks the second pass replaces: whole characters, not overlapping, as ReplaceBatch
  // finds them.
  size_t marks = 0;
  for (size_t at = gbk::FindFromBoundary(withCode, kViewBoxMark, 0); at != gbk::npos;
       at = gbk::FindFromBoundary(withCode, kViewBoxMark, at + kViewBoxMark.size()))
    ++marks;
  if (withCode.size() > kMaxDocumentBytes)
    return std::nullopt;
  if (viewBox.size() > kViewBoxMark.size() && marks > 0 &&
      (kMaxDocumentBytes - withCode.size()) / marks < viewBox.size() - kViewBoxMark.size())
    return std::nullopt;
  return ReplaceBatch(withCode, std::nullopt, 1, true, kViewBoxMark, viewBox);
}

int CountPathRuns(std::string_view markup) {
  RegexObject regex;
  return SearchPathRuns(regex, markup) ? regex.MatchCount() : 0;
}

std::optional<std::vector<std::string>> PathRunDocuments(std::string_view markup,
                                                         std::string_view viewBox,
                                                         std::string* why) {
  RegexObject regex;
  if (!SearchPathRuns(regex, markup)) {
    if (why)
      *why = std::string(SearchFailureText(regex.LastSearchFailure())) + " (" +
             std::to_string(markup.size()) + " bytes of markup)";
    return std::nullopt;
  }
  std::vector<std::string> documents;
  const int count = regex.MatchCount();
  for (int i = 1; i <= count; ++i)
    documents.push_back(BuildDocument(regex.SubMatchText(i, 1), viewBox).value_or(std::string()));
  return documents;
}

int BuildIconDocuments(ConversionContext& context, int& saved, int& failed) {
  AppState& state = context.state;
  RegexObject regex;
  if (!SearchPathRuns(regex, state.svgText)) {
    // Markup that could not be searched through may hide any number of documents: the icon is
    // given up and counted, never passed over as if it had none.
    if (context.stop.stop_requested())
      return 0;
    context.ui.SetCaption(Control::kLabel5, "转换失败");
    ++state.failureCount;
    ++failed;
    context.ui.ReportFailure("icon " + std::to_string(context.iconNumber) + ": " +
                             std::string(SearchFailureText(regex.LastSearchFailure())) + " (" +
                             std::to_string(state.svgText.size()) + " bytes of markup)");
    return 0;
  }
  const int count = regex.MatchCount();
  if (count == 0) {
    if (!context.stop.stop_requested())
      context.ui.ShowMessage("无svg代码", kMessageError);
    return 0;
  }
  for (int i = 1; i <= count; ++i) {
    if (context.stop.stop_requested())
      return i - 1;
    context.documentNumber = i;
    std::optional<std::string> document =
        BuildDocument(regex.SubMatchText(i, 1), state.viewBoxText);
    if (!document) {
      if (context.stop.stop_requested())
        return i - 1;
      context.ui.SetCaption(Control::kLabel5, "转换失败");
      ++state.failureCount;
      ++failed;
      context.ui.ReportFailure("icon " + std::to_string(context.iconNumber) + " document " +
                               std::to_string(i) + ": the document would exceed " +
                               std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
      continue;
    }
    state.svgText = std::move(*document);
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
