#include "pipeline/batch_run.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <thread>

#include "http/win_http_fetch.h"
#include "pipeline/conversion_service.h"
#include "pipeline/document_state.h"
#include "pipeline/full_document.h"
#include "pipeline/icon_documents.h"
#include "pipeline/run_scripts.h"
#include "platform/code_page.h"
#include "platform/file_store.h"
#include "script/json_object.h"
#include "util/char_set.h"
#include "util/replace_batch.h"
#include "util/text_between.h"
#include "util/time_format.h"

namespace korvane {
namespace {

constexpr int kTimeDigitsStyle = 3;
constexpr int kTimeOnlyPart = 3;
constexpr size_t kLongestStem = 120;

struct Icon {
  std::string name;    // the icon's "name" (program's text)
  std::string id;      // the icon's "id" as text
  std::string markup;  // show_svg, its escaped quotes undone
  std::string stem;    // the file name without extension, for icon and id names
};

bool FileExists(const std::string& gbkPath) {
  struct stat info {};
  return ::stat(platform::GbkToUtf8(gbkPath).c_str(), &info) == 0;
}

class Batch {
 public:
  Batch(ConversionContext& context, const BatchOptions& options, platform::SvgRenderer* renderer)
      : context_(context),
        options_(options),
        renderer_(renderer),
        ui_(context.ui),
        stop_(context.stop),
        sizes_(options.sizes.empty() ? std::vector<int>{kDefaultLocalSize} : options.sizes) {}

  RunSummary Run() {
    if (!ReadCollection() || Cancelled())
      return summary_;
    const int count = summary_.iconCount;
    total_ = "总共 " + std::to_string(count) + " 图标";
    ui_.SetCaption(Control::kLabel4, total_);
    ui_.SetMaximum(Control::kProgress1, count);
    folder_ = ui_.Text(Control::kEdit2);
    if (!MakeSizeFolders())
      return summary_;
    AssignStems();

    const int jobs = std::max(1, std::min(options_.jobs, count));
    // Each job keeps its own script engines across its documents: an engine serves one thread.
    if (jobs == 1) {
      RunScripts scripts;
      for (size_t i = 0; i < icons_.size() && !Cancelled(); ++i)
        ProcessIcon(i, true, scripts);
    } else {
      std::vector<std::jthread> workers;
      for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([this] {
          RunScripts scripts;
          for (size_t i; !stop_.stop_requested() && (i = next_++) < icons_.size();)
            ProcessIcon(i, false, scripts);
        });
      }
    }
    if (Cancelled())
      return summary_;
    std::string line = std::to_string(count) + " 个图标转换完成!转换失败" +
                       std::to_string(context_.state.failureCount) + "个.";
    if (summary_.skipped > 0)
      line += "已存在跳过" + std::to_string(summary_.skipped) + "个.";
    ui_.SetCaption(Control::kLabel4, line);
    ui_.SetCaption(Control::kButton1, "开始");
    return summary_;
  }

 private:
  bool Cancelled() {
    if (stop_.stop_requested())
      summary_.cancelled = true;
    return summary_.cancelled;
  }

  bool ReadCollection() {
    std::string page;
    if (options_.collectionText) {
      page = *options_.collectionText;
    } else {
      const std::string url = CollectionUrl(context_.endpoints, ui_.Text(Control::kEdit1));
      if (Cancelled())
        return false;
      // A reply past the collection cap comes back empty: an unreadable collection.
      page = WinHttpFetch(url, 0, {}, {}, {}, {}, {}, false, {}, {}, {}, {}, {},
                          context_.requestTimeoutSeconds, {}, {}, {}, stop_, nullptr,
                          context_.limits.For(context_.limits.collectionBytes));
      if (Cancelled())
        return false;
    }
    // The collection passes from the reply to the GBK text and into the engine without a third
    // copy at any moment.
    std::string text = Utf8ToAnsi(page, stop_);
    std::string().swap(page);
    if (Cancelled())
      return false;
    JsonObject json;
    const bool parsed = json.Parse(std::move(text), stop_);
    if (Cancelled())
      return false;
    const int count = json.Count("data.icons");
    summary_.iconCount = count;
    summary_.collectionRead = parsed && count >= 0 && json.Exists("data.icons");
    for (int i = 0; i < count; ++i) {
      // A large collection takes a while to read out; a stop ends that too.
      if (Cancelled())
        return false;
      const std::string at = "data.icons[" + std::to_string(i) + "].";
      Icon icon;
      icon.name = json.GetText(at + "name", false);
      icon.id = json.GetText(at + "id", false);
      icon.markup =
          ReplaceBatch(json.GetText(at + "show_svg", false), std::nullopt, 1, false, "=\\", "=");
      icons_.push_back(std::move(icon));
    }
    return true;
  }

  bool MakeSizeFolders() {
    if (!WantsPng() || options_.renderer != RendererKind::kLocal || sizes_.size() < 2)
      return true;
    for (int size : sizes_) {
      const std::string path = platform::GbkToUtf8(folder_ + std::to_string(size));
      if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        ui_.ShowMessage("无法创建目录 " + folder_ + std::to_string(size), kMessageError);
        return false;
      }
    }
    return true;
  }

  // Icon and id names are fixed before any job starts, in the collection's order, so a resumed
  // run gives every icon the name it had the first time.
  void AssignStems() {
    if (options_.names == NameKind::kTime)
      return;
    for (Icon& icon : icons_) {
      std::string stem = options_.names == NameKind::kIcon ? SafeFileStem(icon.name) : "";
      if (stem.empty())
        stem = SafeFileStem(icon.id);
      if (stem.empty())
        stem = "icon";
      icon.stem = ClaimStem(stem);
    }
  }

  // `wanted`, or wanted_2, wanted_3 ... when another document of the run has it already.
  std::string ClaimStem(const std::string& wanted) {
    std::lock_guard lock(mutex_);
    std::string stem = wanted;
    for (int n = 2; !stems_.insert(stem).second; ++n)
      stem = wanted + "_" + std::to_string(n);
    return stem;
  }

  bool WantsPng() const { return options_.format != OutputFormat::kSvg; }
  bool WantsSvg() const { return options_.format != OutputFormat::kPng; }

  std::string PngPath(const std::string& stem, int size) const {
    const bool subfolder = options_.renderer == RendererKind::kLocal && sizes_.size() > 1;
    return folder_ + (subfolder ? std::to_string(size) + "/" : "") + stem + ".png";
  }

  // Every file the icon's first document would be saved as is there already.
  bool AlreadySaved(const Icon& icon) const {
    if (WantsSvg() && !FileExists(folder_ + icon.stem + ".svg"))
      return false;
    if (WantsPng()) {
      if (options_.renderer == RendererKind::kService)
        return FileExists(PngPath(icon.stem, 0));
      for (int size : sizes_) {
        if (!FileExists(PngPath(icon.stem, size)))
          return false;
      }
    }
    return true;
  }

  bool Caption(Control control, std::string_view text, bool show) {
    if (stop_.stop_requested())
      return false;
    if (show)
      ui_.SetCaption(control, text);
    return true;
  }

  void ProcessIcon(size_t index, bool inOrder, RunScripts& scripts) {
    const Icon& icon = icons_[index];
    DocumentState document;
    document.scripts = &scripts;
    document.iconNumber = static_cast<int>(index) + 1;
    document.iconTimeText = FormatTime(std::nullopt, kTimeDigitsStyle, kTimeOnlyPart);
    document.showSteps = inOrder;
    if (inOrder) {
      const std::string step =
          options_.renderer == RendererKind::kService ? ",正在下载\\转换第 " : ",正在转换第 ";
      if (!Caption(Control::kLabel4, total_ + step + std::to_string(index + 1) + " 个图标.",
                   true)) {
        return;
      }
      ui_.SetPosition(Control::kProgress1, static_cast<int>(index) + 1);
    }

    if (options_.skipExisting && AlreadySaved(icon)) {
      if (!Caption(Control::kLabel5, "已存在,跳过", inOrder))
        return;
      Count([&] { ++summary_.skipped; });
      return IconDone(inOrder);
    }

    std::vector<std::string> documents;
    if (options_.markup == MarkupKind::kFull) {
      if (auto full = BuildFullDocument(icon.markup))
        documents.push_back(std::move(*full));
    } else {
      std::string why;
      auto runs = PathRunDocuments(icon.markup, TextBetween(icon.markup, "viewBox=\"", "\""), &why);
      if (!runs) {
        // Markup that could not be searched through may hide any number of documents: the icon
        // is given up and counted, never passed over as if it had none.
        if (Failed(document, why) == ConversionOutcome::kFailed) {
          Count([&] {
            context_.state.failureCount += document.failureCount;
            ++summary_.failed;
          });
        }
        return IconDone(inOrder);
      }
      documents = std::move(*runs);
    }
    if (documents.empty()) {
      if (!stop_.stop_requested())
        ui_.ShowMessage("无svg代码", kMessageError);
      return IconDone(inOrder);
    }
    for (size_t d = 0; d < documents.size(); ++d) {
      if (stop_.stop_requested())
        return;
      document.documentNumber = static_cast<int>(d) + 1;
      document.svgText = options_.color.empty() ? std::move(documents[d])
                                                : RecolorDocument(documents[d], options_.color);
      std::string stem = document.iconTimeText;
      if (options_.names != NameKind::kTime)
        stem = d == 0 ? icon.stem : ClaimStem(icon.stem + "_" + std::to_string(d + 1));
      const ConversionOutcome outcome = ConvertDocument(document, stem);
      if (outcome == ConversionOutcome::kCancelled)
        return;
      Count([&] {
        ++summary_.documents;
        ++(outcome == ConversionOutcome::kSaved ? summary_.saved : summary_.failed);
      });
    }
    IconDone(inOrder);
  }

  void IconDone(bool inOrder) {
    if (inOrder || stop_.stop_requested())
      return;
    std::lock_guard lock(mutex_);
    if (stop_.stop_requested())
      return;
    ++done_;
    ui_.SetCaption(Control::kLabel4, total_ + ",已转换 " + std::to_string(done_) + " 个图标.");
    ui_.SetPosition(Control::kProgress1, done_);
  }

  template <typename Change>
  void Count(Change change) {
    std::lock_guard lock(mutex_);
    change();
  }

  ConversionOutcome Failed(DocumentState& document, std::string_view reason) {
    if (!Caption(Control::kLabel5, "转换失败", true))
      return ConversionOutcome::kCancelled;
    ++document.failureCount;
    std::string report = "icon " + std::to_string(document.iconNumber);
    if (document.documentNumber > 0)
      report += " document " + std::to_string(document.documentNumber);
    ui_.ReportFailure(report + ": " + std::string(reason));
    return ConversionOutcome::kFailed;
  }

  ConversionOutcome SaveFailed(DocumentState& document, const std::string& path,
                               const platform::SaveFailure& failure) {
    if (stop_.stop_requested())
      return ConversionOutcome::kCancelled;
    return Failed(document, "save " + path + ": " + platform::DescribeSaveFailure(failure));
  }

  // Saves one document as SVG and/or PNG; the failures it counts go into the run's failureCount.
  ConversionOutcome ConvertDocument(DocumentState& document, const std::string& stem) {
    document.failureCount = 0;
    const ConversionOutcome outcome = ConvertDocumentCounted(document, stem);
    if (document.failureCount > 0)
      Count([&] { context_.state.failureCount += document.failureCount; });
    return outcome;
  }

  ConversionOutcome ConvertDocumentCounted(DocumentState& document, const std::string& stem) {
    if (document.svgText.empty()) {
      return Failed(document, "the document would exceed " +
                                  std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    }
    const std::string utf8 = platform::GbkToUtf8(document.svgText);
    if (WantsSvg()) {
      if (!Caption(Control::kLabel5, "正在保存svg", document.showSteps))
        return ConversionOutcome::kCancelled;
      const std::string path = folder_ + stem + ".svg";
      platform::SaveFailure failure;
      if (!platform::SaveNewFile(path, utf8, stop_, &failure))
        return SaveFailed(document, path, failure);
    }
    if (!WantsPng())
      return ConversionOutcome::kSaved;
    if (options_.renderer == RendererKind::kService) {
      document.pngPath = PngPath(stem, 0);
      return ConvertDocumentViaService(context_, document);
    }

    if (document.showSteps && !stop_.stop_requested())
      ui_.SetPosition(Control::kProgress2, 0);
    for (size_t s = 0; s < sizes_.size(); ++s) {
      if (!Caption(Control::kLabel5, "正在渲染png", document.showSteps))
        return ConversionOutcome::kCancelled;
      platform::RenderedPicture picture = renderer_->Render(utf8, sizes_[s]);
      if (stop_.stop_requested())
        return ConversionOutcome::kCancelled;
      if (!picture.ok)
        return Failed(document,
                      "the renderer refused the document at " + std::to_string(sizes_[s]) + " px");
      if (!Caption(Control::kLabel5, "正在保存png", document.showSteps))
        return ConversionOutcome::kCancelled;
      const std::string path = PngPath(stem, sizes_[s]);
      platform::SaveFailure failure;
      if (!platform::SaveNewFile(path, picture.png, stop_, &failure))
        return SaveFailed(document, path, failure);
      if (document.showSteps && !stop_.stop_requested()) {
        ui_.SetPosition(Control::kProgress2, static_cast<int>(100 * (s + 1) / sizes_.size()));
      }
    }
    return ConversionOutcome::kSaved;
  }

  ConversionContext& context_;
  const BatchOptions& options_;
  platform::SvgRenderer* renderer_;
  UiPort& ui_;
  std::stop_token stop_;
  const std::vector<int> sizes_;
  std::vector<Icon> icons_;
  std::string total_;
  std::string folder_;
  RunSummary summary_;
  std::mutex mutex_;
  std::set<std::string> stems_;
  std::atomic<size_t> next_ = 0;
  int done_ = 0;
};

}  // namespace

bool BatchOptions::IsWindowRun() const {
  return renderer == RendererKind::kService && markup == MarkupKind::kPaths && sizes.empty() &&
         names == NameKind::kTime && format == OutputFormat::kPng && color.empty() &&
         !skipExisting && !collectionText && jobs == 1;
}

std::string SafeFileStem(std::string_view name) {
  std::string stem;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < name.size()) {
      // A double-byte character is kept whole; its second byte may look like '\' or '|'.
      stem += name.substr(i, 2);
      ++i;
      continue;
    }
    const bool refused =
        c < 0x20 || c == 0x7F || c >= 0x80 ||
        std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
    stem.push_back(refused ? '_' : static_cast<char>(c));
  }
  const auto trimmed = [](char c) { return c == ' ' || c == '.'; };
  size_t begin = 0, end = stem.size();
  while (begin < end && trimmed(stem[begin]))
    ++begin;
  while (end > begin && trimmed(stem[end - 1]))
    --end;
  stem = stem.substr(begin, end - begin);
  if (stem.size() > kLongestStem) {
    size_t cut = 0;
    for (size_t i = 0; i < stem.size();) {
      const size_t width = static_cast<unsigned char>(stem[i]) >= 0x81 ? 2 : 1;
      if (i + width > kLongestStem)
        break;
      i += width;
      cut = i;
    }
    stem.resize(cut);
    while (!stem.empty() && trimmed(stem.back()))
      stem.pop_back();
  }
  return stem;
}

RunSummary RunBatch(ConversionContext& context, const BatchOptions& options,
                    platform::SvgRenderer* renderer) {
  if (options.IsWindowRun())
    return RunConversion(context);
  return Batch(context, options, renderer).Run();
}

}  // namespace korvane
