#include "pipeline/conversion_service.h"

#include <limits>
#include <optional>

#include "http/win_http_fetch.h"
#include "http/win_inet_fetch.h"
#include "pipeline/random_tokens.h"
#include "pipeline/run_scripts.h"
#include "pipeline/wait_pumping.h"
#include "platform/code_page.h"
#include "platform/file_store.h"
#include "platform/http_download.h"
#include "platform/http_transfer.h"
#include "script/json_object.h"
#include "util/png_check.h"
#include "util/replace_batch.h"
#include "util/unescape.h"

namespace korvane {
namespace {

constexpr int kMaxPolls = 10;

// The upload body: a leading CR LF, then the form's three fields; no line end after the last.
constexpr std::string_view kUploadTemplate =
    "\r\n"
    "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
    "Content-Disposition: form-data; name=\"name\"\r\n"
    "\r\n"
    "文件名\r\n"
    "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
    "Content-Disposition: form-data; name=\"id\"\r\n"
    "\r\n"
    "返回ID\r\n"
    "------WebKitFormBoundaryNiSHR5Sz849aAU0E\r\n"
    "Content-Disposition: form-data; name=\"file\"; filename=\"文件名\"\r\n"
    "Content-Type: image/svg+xml\r\n"
    "\r\n"
    "代码\r\n"
    "\r\n"
    "------WebKitFormBoundaryNiSHR5Sz849aAU0E--";

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view by) {
  return ReplaceBatch(text, std::nullopt, 1, true, find, by);
}

// True for a status text that starts with a 2xx code ("200 OK").
bool IsSuccessStatus(std::string_view status) {
  return status.size() >= 3 && status[0] == '2' && status[1] >= '0' && status[1] <= '9' &&
         status[2] >= '0' && status[2] <= '9' && (status.size() == 3 || status[3] == ' ');
}

class ServiceRun {
 public:
  ServiceRun(ConversionContext& context, DocumentState& document)
      : context_(context), state_(document), ui_(context.ui), stop_(context.stop) {}

  ConversionOutcome Run() {
    std::optional<JsonObject> ownJson;
    if (!state_.scripts)
      ownJson.emplace();
    JsonObject& json = state_.scripts ? state_.scripts->StatusReader() : *ownJson;
    if (!SetPosition(Control::kProgress2, 0))
      return ConversionOutcome::kCancelled;
    pageToken_ = RandomLetters(16);
    state_.uploadId = "o_" + RandomLetters(28);
    const std::string fileName = state_.iconTimeText + ".svg";
    // The document travels as an SVG file, which is UTF-8 when it declares no encoding.
    const std::string body =
        platform::GbkToUtf8(FillUploadBody(fileName, state_.uploadId, state_.svgText));

    if (!Caption("正在上传svg代码"))
      return ConversionOutcome::kCancelled;
    std::string uploadHeaders(kUploadContentType);
    std::string returnedCookies;
    std::string replyHeaders;
    const std::string uploadUrl = Base() + "/upload/" + pageToken_;
    WinInetFetch(uploadUrl, 1, body, {}, returnedCookies, uploadHeaders, replyHeaders, true, {}, {},
                 stop_, nullptr, ServiceLimits());
    // The upload's reply is not acted on; a failed one is only remembered for the report.
    if (replyHeaders.empty()) {
      Note("upload " + uploadUrl + ": no response");
    } else if (!IsSuccessStatus(platform::StatusLineText(replyHeaders))) {
      Note("upload " + uploadUrl + ": " + platform::StatusLineText(replyHeaders));
    }
    if (!Caption("检测上传是否成功"))
      return ConversionOutcome::kCancelled;

    Get("convert", Base() + "/zh/convert/" + pageToken_ + "/" + state_.uploadId +
                       "?rnd=" + RandomDigits(16, 1));
    if (!Caption("开始转换成png"))
      return ConversionOutcome::kCancelled;

    for (int attempt = 1; attempt <= kMaxPolls; ++attempt) {
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      std::string status;
      std::string reply = Get("status",
                              Base() + "/zh/status/" + pageToken_ + "/" + state_.uploadId +
                                  "?rnd=0." + RandomDigits(16, 1),
                              &status);
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      // A status reply past its cap ends the document: a service that answers that way will not
      // answer better on the next poll.
      if (status == kWinHttpReadFailed)
        return Fail();
      reply = state_.scripts ? UnescapeText(reply, state_.scripts->UnescapeEngines())
                             : UnescapeText(reply);
      json.Parse(reply);
      const std::string progress = json.GetText("progress", true);
      if (!SetPosition(Control::kProgress2, ProgressPosition(progress))) {
        return ConversionOutcome::kCancelled;
      }
      if (progress == "100")
        return Save();
      if (attempt == kMaxPolls) {
        Note("status: the progress read " + (progress.empty() ? "nothing" : progress) +
             " at the last of " + std::to_string(kMaxPolls) + " polls, never 100");
        return Fail();
      }
      WaitPumping(1000, std::nullopt, stop_, context_.waitScale);
    }
    return Fail();
  }

 private:
  ConversionOutcome Save() {
    if (!Caption("正在保存png"))
      return ConversionOutcome::kCancelled;
    const std::string path = state_.pngPath.empty()
                                 ? ui_.Text(Control::kEdit2) + state_.iconTimeText + ".png"
                                 : state_.pngPath;
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    const std::string url = Base() + "/download/" + pageToken_ + "/" + state_.uploadId + "/" +
                            state_.iconTimeText + ".png?rnd=0." + RandomDigits(16, 1);
    std::string downloadError;
    const Bytes png =
        platform::HttpDownload(url, stop_, context_.requestTimeoutSeconds,
                               context_.limits.For(context_.limits.downloadBytes), &downloadError);
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    if (!downloadError.empty())
      return Fail("download " + url + ": " + downloadError);
    // An empty, foreign or cut-short download is a failed document, never a broken picture.
    const PngFault fault = CheckPngStructure(png, stop_);
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    if (fault != PngFault::kNone) {
      return Fail("download " + url + ": " + std::string(PngFaultText(fault)) + ", " +
                  std::to_string(png.size()) + " bytes");
    }
    platform::SaveFailure saveFailure;
    if (!platform::SaveNewFile(path, png, stop_, &saveFailure)) {
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      return Fail("save " + path + ": " + platform::DescribeSaveFailure(saveFailure));
    }
    return ConversionOutcome::kSaved;
  }

  // Gives the document up with the first thing that went wrong, or `reason` when nothing did.
  ConversionOutcome Fail(std::string reason = {}) {
    if (!Caption("转换失败", true))
      return ConversionOutcome::kCancelled;
    ++state_.failureCount;
    Note(std::move(reason));
    Note("given up");
    ui_.ReportFailure("icon " + std::to_string(state_.iconNumber) + " document " +
                      std::to_string(state_.documentNumber) + " (" + state_.iconTimeText +
                      ".png): " + reason_);
    return ConversionOutcome::kFailed;
  }

  // Keeps the first problem of the document: later ones mostly follow from it.
  void Note(std::string reason) {
    if (reason_.empty())
      reason_ = std::move(reason);
  }

  // A GET to the service with the status-reply cap; `status`, when given, gets the status text.
  std::string Get(std::string_view what, const std::string& url, std::string* status = nullptr) {
    if (stop_.stop_requested())
      return {};
    std::string statusText;
    std::string reply = WinHttpFetch(url, 0, {}, {}, {}, kUploadContentType, {}, false, {}, {}, {},
                                     {}, {}, context_.requestTimeoutSeconds, {}, statusText, {},
                                     stop_, nullptr, ServiceLimits());
    if (status)
      *status = statusText;
    if (!IsSuccessStatus(statusText))
      Note(std::string(what) + " " + url + ": " + (statusText.empty() ? "no status" : statusText));
    return reply;
  }

  platform::TransferLimits ServiceLimits() const {
    return context_.limits.For(context_.limits.statusReplyBytes);
  }

  bool Caption(std::string_view text, bool always = false) {
    if (stop_.stop_requested())
      return false;
    if (state_.showSteps || always)
      ui_.SetCaption(Control::kLabel5, text);
    return true;
  }

  bool SetPosition(Control control, int position) {
    if (stop_.stop_requested())
      return false;
    if (state_.showSteps)
      ui_.SetPosition(control, position);
    return true;
  }

  const std::string& Base() const { return context_.endpoints.converter; }

  ConversionContext& context_;
  DocumentState& state_;
  UiPort& ui_;
  std::stop_token stop_;
  std::string pageToken_;
  std::string reason_;
};

}  // namespace

std::string FillUploadBody(std::string_view fileName, std::string_view uploadId,
                           std::string_view document) {
  std::string body = ReplaceAll(kUploadTemplate, "文件名", fileName);
  body = ReplaceAll(body, "返回ID", uploadId);
  return ReplaceAll(body, "代码", document);
}

int ProgressPosition(std::string_view progress) {
  size_t at = 0;
  while (at < progress.size() && (progress[at] == ' ' || progress[at] == '\t'))
    ++at;
  bool negative = false;
  if (at < progress.size() && (progress[at] == '-' || progress[at] == '+')) {
    negative = progress[at] == '-';
    ++at;
  }
  long long value = 0;
  for (; at < progress.size() && progress[at] >= '0' && progress[at] <= '9'; ++at) {
    value = std::min<long long>(value * 10 + (progress[at] - '0'), std::numeric_limits<int>::max());
  }
  return static_cast<int>(negative ? -value : value);
}

ConversionOutcome ConvertViaService(ConversionContext& context) {
  AppState& state = context.state;
  DocumentState document;
  document.iconTimeText = state.iconTimeText;
  document.svgText = state.svgText;
  document.iconNumber = context.iconNumber;
  document.documentNumber = context.documentNumber;
  document.scripts = context.scripts;
  const ConversionOutcome outcome = ServiceRun(context, document).Run();
  state.uploadId = std::move(document.uploadId);
  state.failureCount += document.failureCount;
  return outcome;
}

ConversionOutcome ConvertDocumentViaService(ConversionContext& context, DocumentState& document) {
  return ServiceRun(context, document).Run();
}

}  // namespace korvane
