// Batch runs: the conversion with the choices the command-line front end offers beside the
// window's one way. Documents can be drawn here by the local renderer instead of the online
// service, built from the icon's whole markup, saved in several sizes, as SVG too, recoloured,
// named after the icon, resumed, read from a saved collection reply, and several at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/conversion_context.h"
#include "pipeline/run_conversion.h"
#include "platform/svg_renderer.h"

namespace korvane {

enum class RendererKind { kService, kLocal };
enum class MarkupKind { kPaths, kFull };
enum class NameKind { kTime, kIcon, kId };
enum class OutputFormat { kPng, kSvg, kBoth };

inline constexpr int kDefaultLocalSize = 256;

struct BatchOptions {
  RendererKind renderer = RendererKind::kService;
  MarkupKind markup = MarkupKind::kPaths;
  std::vector<int> sizes;  // longer sides for the local renderer; empty: kDefaultLocalSize
  NameKind names = NameKind::kTime;
  OutputFormat format = OutputFormat::kPng;
  std::string color;  // "#RRGGBB", or empty to keep the icon's own paint
  bool skipExisting = false;
  // The collection reply (UTF-8 JSON) read from a file; nullopt: fetched from the icon library.
  std::optional<std::string> collectionText;
  int jobs = 1;

  // True when nothing differs from the window's run, which then goes through RunConversion.
  bool IsWindowRun() const;
};

// A file name made of an icon's name (the program's text): characters a file system refuses or
// treats specially become '_', blanks and dots at either end are dropped, and it is cut to at most
// 120 bytes on a character boundary. Empty when nothing is left.
std::string SafeFileStem(std::string_view name);

// Runs the collection through `options`. The folder is the text of 编辑框2 (ending in '/'); the
// collection ID the text of 编辑框1. `renderer` draws for RendererKind::kLocal (may be null for
// the service). With one job the steps and captions come in the window's order; with several,
// 标签4 and 进度条1 count icons done and 标签5 shows only failures. On a stop request every job
// ends within its current step, nothing more is written and the summary says cancelled.
RunSummary RunBatch(ConversionContext& context, const BatchOptions& options,
                    platform::SvgRenderer* renderer);

}  // namespace korvane
