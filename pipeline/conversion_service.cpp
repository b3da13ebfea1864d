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
#include "script/json_object.h"
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

class ServiceRun {
 public:
  explicit ServiceRun(ConversionContext& context)
      : context_(context), state_(context.state), ui_(context.ui), stop_(context.stop) {}

  ConversionOutcome Run() {
    std::optional<JsonObject> ownJson;
    if (!context_.scripts)
      ownJson.emplace();
    JsonObject& json = context_.scripts ? context_.scripts->StatusReader() : *ownJson;
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
    WinInetFetch(Base() + "/upload/" + pageToken_, 1, body, {}, returnedCookies, uploadHeaders, {},
                 true, {}, {}, stop_);
    if (!Caption("检测上传是否成功"))
      return ConversionOutcome::kCancelled;

    Get(Base() + "/zh/convert/" + pageToken_ + "/" + state_.uploadId +
        "?rnd=" + RandomDigits(16, 1));
    if (!Caption("开始转换成png"))
      return ConversionOutcome::kCancelled;

    for (int attempt = 1; attempt <= kMaxPolls; ++attempt) {
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      std::string reply = Get(Base() + "/zh/status/" + pageToken_ + "/" + state_.uploadId +
                              "?rnd=0." + RandomDigits(16, 1));
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      reply = context_.scripts ? UnescapeText(reply, context_.scripts->UnescapeEngines())
                               : UnescapeText(reply);
      json.Parse(reply);
      const std::string progress = json.GetText("progress", true);
      if (!SetPosition(Control::kProgress2, ProgressPosition(progress))) {
        return ConversionOutcome::kCancelled;
      }
      if (progress == "100")
        return Save();
      if (attempt == kMaxPolls)
        return Fail();
      WaitPumping(1000, std::nullopt, stop_, context_.waitScale);
    }
    return Fail();
  }

 private:
  ConversionOutcome Save() {
    if (!Caption("正在保存png"))
      return ConversionOutcome::kCancelled;
    const std::string path = ui_.Text(Control::kEdit2) + state_.iconTimeText + ".png";
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    const Bytes png =
        platform::HttpDownload(Base() + "/download/" + pageToken_ + "/" + state_.uploadId + "/" +
                                   state_.iconTimeText + ".png?rnd=0." + RandomDigits(16, 1),
                               stop_, context_.requestTimeoutSeconds);
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    // An empty or foreign download is a failed document, never an empty picture.
    if (!LooksLikePng(png))
      return Fail();
    if (!platform::SaveNewFile(path, png, stop_)) {
      return stop_.stop_requested() ? ConversionOutcome::kCancelled : Fail();
    }
    return ConversionOutcome::kSaved;
  }

  ConversionOutcome Fail() {
    if (!Caption("转换失败"))
      return ConversionOutcome::kCancelled;
    ++state_.failureCount;
    return ConversionOutcome::kFailed;
  }

  std::string Get(const std::string& url) {
    if (stop_.stop_requested())
      return {};
    return WinHttpFetch(url, 0, {}, {}, {}, kUploadContentType, {}, false, {}, {}, {}, {}, {},
                        context_.requestTimeoutSeconds, {}, {}, {}, stop_);
  }

  bool Caption(std::string_view text) {
    if (stop_.stop_requested())
      return false;
    ui_.SetCaption(Control::kLabel5, text);
    return true;
  }

  bool SetPosition(Control control, int position) {
    if (stop_.stop_requested())
      return false;
    ui_.SetPosition(control, position);
    return true;
  }

  const std::string& Base() const { return context_.endpoints.converter; }

  ConversionContext& context_;
  AppState& state_;
  UiPort& ui_;
  std::stop_token stop_;
  std::string pageToken_;
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

bool LooksLikePng(std::string_view bytes) {
  return bytes.size() > 8 && bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8);
}

ConversionOutcome ConvertViaService(ConversionContext& context) {
  return ServiceRun(context).Run();
}

}  // namespace korvane
