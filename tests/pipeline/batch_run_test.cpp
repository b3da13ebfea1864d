// Batch runs end to end: the local renderer offline, names, sizes, formats, colour, resuming and
// several jobs, against the in-process stand-in where the service takes part.
#include "pipeline/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "pipeline/full_document.h"
#include "pipeline_fixture.h"
#include "platform/code_page.h"
#include "png/png_pixels.h"
#include "script/json_object.h"
#include "standin/sample_collections.h"
#include "standin/svg_renderer.h"
#include "util/char_set.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;
namespace samples = standin::samples;

std::string SampleText(const samples::SampleCollection& collection) {
  return PipelineTest::ReadFile(fs::path(samples::BundledSamplesDir()) /
                                (std::string(collection.id) + ".json"));
}

// A collection reply with the given (name, markup) icons, ids 1, 2, 3 ...
std::string CollectionOf(const std::vector<std::pair<std::string, std::string>>& icons) {
  std::string json = "{\"code\":200,\"data\":{\"icons\":[";
  for (size_t i = 0; i < icons.size(); ++i) {
    std::string markup;
    for (char c : icons[i].second)
      markup += c == '"' ? std::string("\\\"") : std::string(1, c);
    json += (i ? "," : "") + std::string("{\"id\":") + std::to_string(i + 1) + ",\"name\":\"" +
            icons[i].first + "\",\"show_svg\":\"" + markup + "\"}";
  }
  return json + "]}}";
}

const std::string kSquare =
    "<svg viewBox=\"0 0 10 10\"><path d=\"M0 0H10V10H0Z\" fill=\"#ff0000\"/></svg>";

class BatchRunTest : public PipelineTest {
 protected:
  RunSummary RunWith(RecordingUi& ui, AppState& state, const BatchOptions& options,
                     std::stop_token stop = {}) {
    ConversionContext context{state, ui, std::move(stop), Endpoints()};
    context.waitScale = 0.001;
    return RunBatch(context, options, renderer_.get());
  }
  RunSummary RunWith(const BatchOptions& options) {
    RecordingUi ui("", FolderText());
    AppState state;
    return RunWith(ui, state, options);
  }
  static BatchOptions Local(std::string collection) {
    BatchOptions options;
    options.renderer = RendererKind::kLocal;
    options.markup = MarkupKind::kFull;
    options.collectionText = std::move(collection);
    return options;
  }
  std::unique_ptr<platform::SvgRenderer> renderer_ = platform::MakeLibrsvgRenderer();
};

// Offline: every icon of the default collection lands under its name, exactly as librsvg draws
// the whole-markup document, and no request reaches either service.
TEST_F(BatchRunTest, LocalRendererDrawsEveryIconOfflineAsLibrsvgDoes) {
  const std::string text = SampleText(samples::kDefault);
  BatchOptions options = Local(text);
  options.names = NameKind::kIcon;
  for (int jobs : {1, 3}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    EmptyFolder();
    Server().ClearRequestLog();
    options.jobs = jobs;
    RecordingUi ui("", FolderText());
    AppState state;
    const RunSummary summary = RunWith(ui, state, options);
    EXPECT_TRUE(summary.collectionRead);
    EXPECT_EQ(summary.saved, samples::kDefault.icons);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_TRUE(Server().RequestLog().empty());
    EXPECT_EQ(ui.Captions(Control::kLabel4).back(), "40 个图标转换完成!转换失败0个.");

    JsonObject json;
    json.Parse(Utf8ToAnsi(text));
    ASSERT_EQ(FolderNames().size(), size_t(samples::kDefault.icons));
    for (int i = 0; i < samples::kDefault.icons; ++i) {
      const std::string at = "data.icons[" + std::to_string(i) + "].";
      const std::string name = platform::GbkToUtf8(json.GetText(at + "name"));
      const auto document = BuildFullDocument(json.GetText(at + "show_svg"));
      ASSERT_TRUE(document);
      const auto reference = standin::RenderSvgToPng(platform::GbkToUtf8(*document), 256);
      ASSERT_TRUE(reference.ok);
      const Pixels saved = DecodePng(ReadFile(folder_ / (name + ".png")));
      ASSERT_TRUE(saved.ok()) << name;
      EXPECT_LE(MaxChannelDifference(saved, DecodePng(reference.png)), 1) << name;
    }
  }
}

TEST_F(BatchRunTest, NamesSizesFormatsAndColour) {
  // Names made safe, kept apart on a clash, never empty.
  const std::string collection =
      CollectionOf({{"arrow", kSquare}, {"a/b:c", kSquare}, {"arrow", kSquare}, {" .. ", kSquare}});
  BatchOptions options = Local(collection);
  options.names = NameKind::kIcon;
  options.sizes = {16, 48};
  options.format = OutputFormat::kBoth;
  options.color = "#00ff00";
  const RunSummary summary = RunWith(options);
  EXPECT_EQ(summary.saved, 4);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"16", "4.svg", "48", "a_b_c.svg", "arrow.svg",
                                                     "arrow_2.svg"}));
  for (int size : {16, 48}) {
    for (const char* name : {"4", "a_b_c", "arrow", "arrow_2"}) {
      const Pixels pixels =
          DecodePng(ReadFile(folder_ / std::to_string(size) / (std::string(name) + ".png")));
      ASSERT_TRUE(pixels.ok()) << size << " " << name;
      EXPECT_EQ(pixels.width, size);
      const uint8_t* px = pixels.At(size / 2, size / 2);
      EXPECT_EQ(std::vector<int>(px, px + 4), (std::vector<int>{0, 255, 0, 255}));
    }
  }
  // The saved SVG is the recoloured standalone document, in UTF-8.
  const std::string svg = ReadFile(folder_ / "arrow.svg");
  EXPECT_NE(svg.find("xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#00ff00\""), std::string::npos);

  // Id names, one size straight into the folder, SVG alone.
  EmptyFolder();
  options = Local(collection);
  options.names = NameKind::kId;
  options.format = OutputFormat::kSvg;
  EXPECT_EQ(RunWith(options).saved, 4);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"1.svg", "2.svg", "3.svg", "4.svg"}));
}

TEST_F(BatchRunTest, SkipExistingResumesAnInterruptedRun) {
  BatchOptions options = Local(SampleText(samples::kSeveralPaths));
  options.names = NameKind::kId;
  options.skipExisting = true;
  RunSummary summary = RunWith(options);
  EXPECT_EQ(summary.saved, 2);
  EXPECT_EQ(summary.skipped, 0);
  const std::vector<std::string> first = FolderNames();
  ASSERT_EQ(first.size(), 2u);

  RecordingUi ui("", FolderText());
  AppState state;
  summary = RunWith(ui, state, options);
  EXPECT_EQ(summary.saved, 0);
  EXPECT_EQ(summary.skipped, 2);
  EXPECT_EQ(FolderNames(), first);
  EXPECT_EQ(ui.Captions(Control::kLabel4).back(), "2 个图标转换完成!转换失败0个.已存在跳过2个.");

  fs::remove(folder_ / first[1]);
  summary = RunWith(options);
  EXPECT_EQ(summary.saved, 1);
  EXPECT_EQ(summary.skipped, 1);
  EXPECT_EQ(FolderNames(), first);
}

TEST_F(BatchRunTest, RendererRefusalsAreCountedFailures) {
  BatchOptions options = Local(SampleText(samples::kBrokenSvg));
  for (int jobs : {1, 2}) {
    EmptyFolder();
    options.jobs = jobs;
    RecordingUi ui("", FolderText());
    AppState state;
    state.failureCount = 2;
    const RunSummary summary = RunWith(ui, state, options);
    EXPECT_EQ(summary.saved, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(state.failureCount, 3);
    EXPECT_EQ(FolderNames().size(), 1u);
    const auto captions = ui.Captions(Control::kLabel5);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), "转换失败"), 1);
    EXPECT_EQ(ui.Captions(Control::kLabel4).back(), "2 个图标转换完成!转换失败3个.");
  }
  // No svg element at all: the window's message, nothing counted.
  RecordingUi ui("", FolderText());
  AppState state;
  const RunSummary summary =
      RunWith(ui, state, Local(CollectionOf({{"empty", "<g></g>"}, {"ok", kSquare}})));
  EXPECT_EQ(summary.saved, 1);
  EXPECT_EQ(summary.failed, 0);
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].text, "无svg代码");
}

// One job keeps the window's steps and captions, whatever the names; the service path with
// several jobs saves every document, whole-markup ones too.
TEST_F(BatchRunTest, ServicePathKeepsTheWindowsStepsAndRunsJobsInParallel) {
  Server().SetPolls(1);
  RecordingUi windowUi(samples::kSeveralPaths.id.data(), FolderText());
  AppState windowState;
  const RunSummary window = Run(windowUi, windowState);
  ASSERT_EQ(window.saved, 2);

  EmptyFolder();
  BatchOptions options;
  options.names = NameKind::kIcon;
  RecordingUi batchUi(samples::kSeveralPaths.id.data(), FolderText());
  AppState batchState;
  const RunSummary batch = RunWith(batchUi, batchState, options);
  EXPECT_EQ(batch.saved, 2);
  EXPECT_EQ(batchUi.Events(), windowUi.Events());

  EmptyFolder();
  options.collectionText = SampleText(samples::kDefault);
  options.jobs = 8;
  options.markup = MarkupKind::kFull;  // the service draws whole-markup documents as well
  RecordingUi ui("", FolderText());
  AppState state;
  const RunSummary parallel = RunWith(ui, state, options);
  EXPECT_EQ(parallel.saved, samples::kDefault.documents);
  EXPECT_EQ(parallel.failed, 0);
  EXPECT_EQ(FolderNames().size(), size_t(samples::kDefault.documents));
  for (const std::string& name : FolderNames())
    EXPECT_TRUE(DecodePng(ReadFile(folder_ / name)).ok()) << name;
  // No per-document step captions from parallel jobs; 进度条1 ends at the icon count.
  EXPECT_TRUE(ui.Captions(Control::kLabel5).empty());
  EXPECT_EQ(ui.Position(Control::kProgress1), samples::kDefault.icons);
}

// A stop ends every job: the run says cancelled, nothing is shown afterwards and no partial or
// temporary file is left, on either path.
TEST_F(BatchRunTest, StopEndsEveryJobAndLeavesNoPartialFile) {
  struct Case {
    const char* name;
    RendererKind renderer;
    standin::Mode mode;
  };
  for (const Case& c : {Case{"local", RendererKind::kLocal, standin::Mode::kNormal},
                        Case{"service, stalled", RendererKind::kService, standin::Mode::kStall}}) {
    SCOPED_TRACE(c.name);
    EmptyFolder();
    Server().SetMode(c.mode, standin::kStatusEndpoint);
    std::string big = "{\"data\":{\"icons\":[";
    for (int i = 0; i < 3000; ++i)
      big +=
          (i ? ",{\"id\":" : "{\"id\":") + std::to_string(i) +
          ",\"show_svg\":\"<svg viewBox=\\\"0 0 10 10\\\"><path d=\\\"M0 0H10V10Z\\\"/></svg>\"}";
    big += "]}}";
    BatchOptions options;
    options.renderer = c.renderer;
    options.markup = MarkupKind::kFull;
    options.collectionText = big;
    options.names = NameKind::kId;
    options.jobs = 4;
    if (c.renderer == RendererKind::kLocal)
      options.sizes = {512};
    RecordingUi ui("", FolderText());
    AppState state;
    std::stop_source stop;
    std::jthread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      stop.request_stop();
      ui.Cancel("已经取消转换.");
    });
    const RunSummary summary = RunWith(ui, state, options, stop.get_token());
    stopper.join();
    EXPECT_TRUE(summary.cancelled);
    EXPECT_LT(summary.saved, 3000);
    EXPECT_LE(ui.LateEvents().size(), 4u);  // at most one call per job already past its check
    for (const std::string& name : FolderNames()) {
      EXPECT_EQ(fs::path(name).extension(), ".png") << name;
      EXPECT_TRUE(DecodePng(ReadFile(folder_ / name)).ok()) << name;
    }
    Server().SetMode(standin::Mode::kNormal);
  }
}

}  // namespace
}  // namespace korvane::testing
