#include "pipeline/run_conversion.h"

#include <optional>

#include "http/win_http_fetch.h"
#include "pipeline/icon_documents.h"
#include "pipeline/run_scripts.h"
#include "script/json_object.h"
#include "util/char_set.h"
#include "util/replace_batch.h"
#include "util/text_between.h"
#include "util/time_format.h"

namespace korvane {
namespace {

// FormatTime's style and part for the six-digit time of day.
constexpr int kTimeDigitsStyle = 3;
constexpr int kTimeOnlyPart = 3;

}  // namespace

std::string CollectionUrl(const ServiceEndpoints& endpoints, std::string_view id) {
  return endpoints.iconLibrary + "/api/collection/detail.json?id=" + std::string(id);
}

RunSummary RunConversion(ConversionContext& context) {
  AppState& state = context.state;
  UiPort& ui = context.ui;
  const std::stop_token& stop = context.stop;
  RunSummary summary;
  // One run's documents share their script engines unless the caller brought its own.
  std::optional<RunScripts> ownScripts;
  if (!context.scripts)
    ownScripts.emplace();
  RunScripts* const callerScripts = context.scripts;
  context.scripts = callerScripts ? callerScripts : &*ownScripts;
  struct Restore {
    ConversionContext& context;
    RunScripts* scripts;
    ~Restore() { context.scripts = scripts; }
  } restore{context, callerScripts};
  const auto cancelled = [&] {
    summary.cancelled = stop.stop_requested();
    return summary.cancelled;
  };

  JsonObject json;
  const std::string url = CollectionUrl(context.endpoints, ui.Text(Control::kEdit1));
  if (cancelled())
    return summary;
  const std::string page =
      WinHttpFetch(url, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {}, 0, {}, {}, {}, stop);
  if (cancelled())
    return summary;
  const bool parsed = json.Parse(Utf8ToAnsi(page));
  const int count = json.Count("data.icons");
  summary.iconCount = count;
  summary.collectionRead = parsed && count >= 0 && json.Exists("data.icons");

  const std::string total = "总共 " + std::to_string(count) + " 图标";
  if (cancelled())
    return summary;
  ui.SetCaption(Control::kLabel4, total);
  ui.SetMaximum(Control::kProgress1, count);

  for (int i = 1; i <= count; ++i) {
    if (cancelled())
      return summary;
    state.iconTimeText = FormatTime(std::nullopt, kTimeDigitsStyle, kTimeOnlyPart);
    // The markup as plain text keeps its own quotes, so the documents built from it are valid.
    state.svgText = json.GetText("data.icons[" + std::to_string(i - 1) + "].show_svg", false);
    state.svgText = ReplaceBatch(state.svgText, std::nullopt, 1, false, "=\\", "=");
    state.viewBoxText = TextBetween(state.svgText, "viewBox=\"", "\"");
    if (cancelled())
      return summary;
    ui.SetCaption(Control::kLabel4, total + ",正在下载\\转换第 " + std::to_string(i) + " 个图标.");
    ui.SetPosition(Control::kProgress1, ui.Position(Control::kProgress1) + 1);
    summary.documents += BuildIconDocuments(context, summary.saved, summary.failed);
  }

  if (cancelled())
    return summary;
  ui.SetCaption(Control::kLabel4, std::to_string(count) + " 个图标转换完成!转换失败" +
                                      std::to_string(state.failureCount) + "个.");
  ui.SetCaption(Control::kButton1, "开始");
  return summary;
}

}  // namespace korvane
