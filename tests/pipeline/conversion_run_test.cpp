// Whole conversion runs against the in-process stand-in services: what lands in the folder, what
// the window shows, and what goes over the wire.
#include <cairo.h>

#include <cstring>
#include <fstream>
#include <regex>

#include "pipeline/conversion_service.h"
#include "pipeline/icon_documents.h"
#include "pipeline_fixture.h"
#include "platform/code_page.h"
#include "script/json_object.h"
#include "standin/sample_collections.h"
#include "standin/svg_renderer.h"
#include "util/char_set.h"
#include "util/text_between.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;
namespace samples = standin::samples;
using standin::Mode;

std::string Utf8(std::string_view gbk) {
  const auto units = platform::DecodeCodePage(platform::kCodePageGbk, gbk);
  return platform::EncodeCodePage(platform::kCodePageUtf8, *units).value_or("");
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // premultiplied ARGB
};

Picture DecodePng(const std::string& png) {
  struct Reader {
    const std::string* bytes;
    size_t at = 0;
  } reader{&png};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->bytes->size() - r->at < length)
          return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, r->bytes->data() + r->at, length);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  Picture picture;
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(surface);
    picture.width = cairo_image_surface_get_width(surface);
    picture.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < picture.height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
      picture.pixels.insert(picture.pixels.end(), row, row + picture.width);
    }
  }
  cairo_surface_destroy(surface);
  return picture;
}

// The largest difference of one colour channel between two pictures of the same size.
int LargestDifference(const Picture& a, const Picture& b) {
  int largest = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      const int da = static_cast<int>((a.pixels[i] >> shift) & 0xFF);
      const int db = static_cast<int>((b.pixels[i] >> shift) & 0xFF);
      largest = std::max(largest, std::abs(da - db));
    }
  }
  return largest;
}

// The documents of a bundled collection, built the way the tool builds them: every run from
// "<path d=" to the next "</svg>" of each icon's markup, in the document template.
std::vector<std::string> ExpectedDocuments(std::string_view id) {
  const std::string json = PipelineTest::CollectionJson(id);
  JsonObject collection;
  EXPECT_TRUE(collection.Parse(Utf8ToAnsi(json)));
  std::vector<std::string> documents;
  for (int i = 0; i < collection.Count("data.icons"); ++i) {
    std::string markup =
        collection.GetText("data.icons[" + std::to_string(i) + "].show_svg", false);
    std::replace(markup.begin(), markup.end(), '\n', ' ');
    std::replace(markup.begin(), markup.end(), '\r', ' ');
    const std::string viewBox = TextBetween(markup, "viewBox=\"", "\"");
    for (size_t at = markup.find("<path d="); at != std::string::npos;
         at = markup.find("<path d=", at)) {
      const size_t end = markup.find("</svg>", at);
      if (end == std::string::npos)
        break;
      documents.push_back(FillDocumentTemplate(markup.substr(at + 8, end - at - 8), viewBox));
      at = end;
    }
  }
  return documents;
}

using ConversionRunTest = PipelineTest;

// The name the file store gives the n-th picture of one time of day: "140709.png", then
// "140709_2.png" and so on.
std::string NthName(int n) {
  return std::string(FixedClock::kTimeText) + (n == 1 ? "" : "_" + std::to_string(n)) + ".png";
}

TEST_F(ConversionRunTest, SavedPicturesEqualTheRenderersOwnPictureOfEachDocument) {
  // Every document of a run begins at the same time of day, so each picture after the first
  // takes the next free number: twelve documents of one icon run past "_9" into "_10" to "_12".
  const FixedClock clock;
  const platform::ScopedClockLocale scope(clock);
  struct Collection {
    std::string_view id;
    int documents;
  };
  const Collection collections[] = {
      {samples::kSeveralPaths.id, samples::kSeveralPaths.documents},
      {samples::kTwoSvgElements.id, samples::kTwoSvgElements.documents},
      {samples::kChineseText.id, samples::kChineseText.documents},
      {samples::kNoVersion.id, samples::kNoVersion.documents},
      {kTwelveDocumentsId, kTwelveDocuments},
  };
  for (const auto& collection : collections) {
    SCOPED_TRACE(std::string(collection.id));
    EmptyFolder();
    AppState state;
    RecordingUi ui(std::string(collection.id), FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_TRUE(summary.collectionRead);
    EXPECT_EQ(summary.saved, collection.documents);
    EXPECT_EQ(summary.failed, 0);

    const std::vector<std::string> expected = ExpectedDocuments(collection.id);
    ASSERT_EQ(static_cast<int>(expected.size()), collection.documents);
    const std::vector<std::string> names = InSavingOrder(FolderNames());
    ASSERT_EQ(names.size(), expected.size());
    std::vector<Picture> seen;
    for (size_t i = 0; i < names.size(); ++i) {
      // The n-th document saved is the n-th of the collection and carries the n-th name.
      EXPECT_EQ(names[i], NthName(static_cast<int>(i) + 1));
      const Picture saved = DecodePng(ReadFile(folder_ / names[i]));
      const standin::RenderResult direct = standin::RenderSvgToPng(Utf8(expected[i]), 256);
      ASSERT_TRUE(direct.ok) << direct.error;
      const Picture reference = DecodePng(direct.png);
      ASSERT_EQ(saved.width, reference.width);
      ASSERT_EQ(saved.height, reference.height);
      EXPECT_EQ(std::max(saved.width, saved.height), 256);
      EXPECT_LE(LargestDifference(saved, reference), 2) << names[i];
      // A real picture: something drawn, and not everything.
      const auto transparent = std::count(saved.pixels.begin(), saved.pixels.end(), 0u);
      EXPECT_GT(transparent, 0);
      EXPECT_LT(transparent, static_cast<long>(saved.pixels.size()));
      seen.push_back(saved);
    }
    // The twelve pictures differ from one another, so a picture paired with the wrong document
    // cannot pass for it.
    if (collection.id == kTwelveDocumentsId) {
      for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_GT(LargestDifference(seen[i - 1], seen[i]), 100) << i;
    }
  }
}

TEST_F(ConversionRunTest, CaptionsAndProgressArriveInOrderWithTheSummaryLine) {
  AppState state;
  state.failureCount = 3;  // failures of earlier runs count in the summary
  RecordingUi ui("90001", FolderText());
  Run(ui, state);

  std::vector<UiEvent> expected = {
      {UiEvent::kCaption, Control::kLabel4, "总共 2 图标"},
      {UiEvent::kMaximum, Control::kProgress1, {}, 2},
  };
  for (int icon = 1; icon <= 2; ++icon) {
    expected.push_back({UiEvent::kCaption, Control::kLabel4,
                        "总共 2 图标,正在下载\\转换第 " + std::to_string(icon) + " 个图标."});
    expected.push_back({UiEvent::kPosition, Control::kProgress1, {}, icon});
    expected.push_back({UiEvent::kPosition, Control::kProgress2, {}, 0});
    expected.push_back({UiEvent::kCaption, Control::kLabel5, "正在上传svg代码"});
    expected.push_back({UiEvent::kCaption, Control::kLabel5, "检测上传是否成功"});
    expected.push_back({UiEvent::kCaption, Control::kLabel5, "开始转换成png"});
    // Two polls below 100, then 100.
    expected.push_back({UiEvent::kPosition, Control::kProgress2, {}, -1});
    expected.push_back({UiEvent::kPosition, Control::kProgress2, {}, -1});
    expected.push_back({UiEvent::kPosition, Control::kProgress2, {}, 100});
    expected.push_back({UiEvent::kCaption, Control::kLabel5, "正在保存png"});
  }
  expected.push_back({UiEvent::kCaption, Control::kLabel4, "2 个图标转换完成!转换失败3个."});
  expected.push_back({UiEvent::kCaption, Control::kButton1, "开始"});

  std::vector<UiEvent> events = ui.Events();
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < events.size(); ++i) {
    // The stand-in's intermediate progress values are its own; only their place is checked.
    if (expected[i].value == -1) {
      EXPECT_EQ(events[i].kind, UiEvent::kPosition);
      EXPECT_EQ(events[i].control, Control::kProgress2);
      EXPECT_GE(events[i].value, 0);
      EXPECT_LT(events[i].value, 100);
      continue;
    }
    EXPECT_EQ(events[i], expected[i]) << "event " << i << ": " << Utf8(events[i].text);
  }
  EXPECT_TRUE(ui.LateEvents().empty());
}

TEST_F(ConversionRunTest, RequestsOnTheWireAreTheServicesOwnForm) {
  AppState state;
  RecordingUi ui("90006", FolderText());  // three icons, the middle one without markup
  Run(ui, state);

  std::vector<std::string> targets;
  for (const auto& request : Server().RequestLog())
    targets.push_back(request.target);
  const std::string token = "[0-9A-Za-z]{16}";
  const std::string upload = "o_[0-9A-Za-z]{28}";
  const std::string odd = "[13579]{16}";
  const std::vector<std::string> patterns = {
      "/api/collection/detail\\.json\\?id=90006",
      "/upload/" + token,
      "/zh/convert/" + token + "/" + upload + "\\?rnd=" + odd,
      "/zh/status/" + token + "/" + upload + "\\?rnd=0\\." + odd,
      "/zh/status/" + token + "/" + upload + "\\?rnd=0\\." + odd,
      "/zh/status/" + token + "/" + upload + "\\?rnd=0\\." + odd,
      "/download/" + token + "/" + upload + "/\\d{6}\\.png\\?rnd=0\\." + odd,
  };
  // One collection fetch, then the same five kinds of request for each of the two documents.
  ASSERT_EQ(targets.size(), 1 + 2 * (patterns.size() - 1));
  for (size_t i = 0; i < targets.size(); ++i) {
    const std::string& pattern = patterns[i == 0 ? 0 : 1 + (i - 1) % (patterns.size() - 1)];
    EXPECT_TRUE(std::regex_match(targets[i], std::regex(pattern))) << targets[i];
  }
  // The token and upload id of one document are the same on all its requests, and new for the
  // next one.
  EXPECT_EQ(targets[1].substr(8, 16), targets[2].substr(12, 16));
  EXPECT_NE(targets[1].substr(8, 16), targets[7].substr(8, 16));
  // The icon without markup was reported once, as an error, and the loop went on.
  const auto messages = ui.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "无svg代码");
  EXPECT_EQ(messages[0].value, 16);
  EXPECT_EQ(FolderNames().size(), 2u);
  EXPECT_EQ(state.failureCount, 0);
}

TEST_F(ConversionRunTest, UnreadableAndEmptyCollectionsGoStraightToTheSummary) {
  struct Case {
    std::string id;
    int count;
    bool read;
  };
  const Case cases[] = {
      {"90009", 0, true},    // an empty icon array
      {"90008", -2, false},  // data without icons
      {"424242", 0, false},  // no such collection: an error reply without data
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    AppState state;
    RecordingUi ui(c.id, FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_EQ(summary.iconCount, c.count);
    EXPECT_EQ(summary.collectionRead, c.read);
    const std::string n = std::to_string(c.count);
    EXPECT_EQ(
        ui.Captions(Control::kLabel4),
        (std::vector<std::string>{"总共 " + n + " 图标", n + " 个图标转换完成!转换失败0个."}));
    EXPECT_EQ(ui.Captions(Control::kButton1), std::vector<std::string>{"开始"});
    EXPECT_TRUE(FolderNames().empty());
  }
}

TEST_F(ConversionRunTest, TenthPollIsTheLastChance) {
  struct Case {
    int polls;  // replies below 100 before the one that reads 100
    int saved;
  };
  for (const Case c : {Case{9, 1}, Case{10, 0}}) {
    SCOPED_TRACE(c.polls);
    Server().SetPolls(c.polls);
    Server().ClearRequestLog();
    AppState state;
    RecordingUi ui("90005", FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_EQ(summary.saved, c.saved);
    EXPECT_EQ(state.failureCount, 1 - c.saved);
    int statusRequests = 0;
    for (const auto& request : Server().RequestLog()) {
      statusRequests += request.path.starts_with("/zh/status/");
    }
    EXPECT_EQ(statusRequests, 10);
    EXPECT_EQ(ui.Captions(Control::kLabel5).back(), c.saved ? "正在保存png" : "转换失败");
  }
}

TEST_F(ConversionRunTest, FailuresAccumulateAcrossRuns) {
  Server().SetMode(Mode::kStringProgress);  // "progress":"100" never reads as 100
  AppState state;
  for (int run = 1; run <= 2; ++run) {
    RecordingUi ui("90001", FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_EQ(summary.failed, 2);
    EXPECT_EQ(ui.Captions(Control::kLabel4).back(),
              "2 个图标转换完成!转换失败" + std::to_string(2 * run) + "个.");
    // The quoted "100" reads as no number: the bar stays at 0.
    for (const auto& event : ui.Events()) {
      if (event.kind == UiEvent::kPosition && event.control == Control::kProgress2) {
        EXPECT_EQ(event.value, 0);
      }
    }
  }
  EXPECT_TRUE(FolderNames().empty());
}

TEST_F(ConversionRunTest, EveryServiceFaultEndsInACountedFailureAndWritesNothing) {
  requestTimeoutSeconds_ = 1;
  struct Case {
    Mode mode;
    unsigned endpoints;  // 0: the mode's own
    std::string reason;  // what the failure report must say
  };
  const Case cases[] = {
      {Mode::kNeverFinish, 0, "status: the progress read 99 at the last of 10 polls, never 100"},
      {Mode::kStringProgress, 0, "status: the progress read \"100\" at the last of 10 polls"},
      {Mode::kServerError, standin::kStatusEndpoint, "status https://127.0.0.1:"},
      {Mode::kServerError, standin::kDownloadEndpoint, ": HTTP 500 Internal Server Error"},
      {Mode::kServerError, standin::kUploadEndpoint, ": 500 Internal Server Error"},
      {Mode::kEmptyDownload, 0, ": not a PNG (no PNG signature), 0 bytes"},
      {Mode::kNotPng, 0, ": not a PNG (no PNG signature)"},
      {Mode::kTruncatedPng, 0, ": truncated PNG (a chunk runs past the end of the data)"},
      {Mode::kBadCrc, 0, ": damaged PNG (a chunk CRC does not match)"},
      {Mode::kNoIend, 0, ": truncated PNG (no IEND chunk)"},
      {Mode::kGarbage, standin::kStatusEndpoint, "status: the progress read nothing"},
      {Mode::kStall, standin::kDownloadEndpoint, "download https://127.0.0.1:"},
      {Mode::kStall, standin::kStatusEndpoint, "712 服务器未响应!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(standin::ModeName(c.mode)) + " " + std::to_string(c.endpoints));
    Server().SetMode(c.mode, c.endpoints);
    AppState state;
    RecordingUi ui("90005", FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(state.failureCount, 1);
    EXPECT_EQ(ui.Captions(Control::kLabel5).back(), "转换失败");
    EXPECT_TRUE(FolderNames().empty());
    // One reason for the one document, naming it and the request that went wrong.
    const std::vector<std::string> failures = ui.Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].starts_with("icon 1 document 1 (")) << Utf8(failures[0]);
    EXPECT_NE(failures[0].find(c.reason), std::string::npos) << Utf8(failures[0]);
    Server().SetMode(Mode::kNormal);
  }
}

TEST_F(ConversionRunTest, MarkupBeyondTheSearchLimitsIsAFailedIconAndTheRunGoesOn) {
  // Icons whose markup the path search gives up on, between two ordinary icons: over 10 MB of
  // path data in one run, and a million path elements without the closing svg tag.
  const std::string ordinary =
      "<svg class=\\\"icon\\\" viewBox=\\\"0 0 1024 1024\\\"><path "
      "d=\\\"M152 512A360 360 0 1 1 872 512Z\\\"></path></svg>";
  std::string longPath = "<svg viewBox=\\\"0 0 1024 1024\\\"><path d=\\\"M0 0";
  while (longPath.size() < (11u << 20))
    longPath += " L1 1";
  longPath += "\\\"></path></svg>";
  std::string manyPaths = "<svg viewBox=\\\"0 0 1024 1024\\\">";
  for (int i = 0; i < 1'000'000; ++i)
    manyPaths += "<path d=\\\"M1 1\\\"/>";
  const fs::path collections = folder_.parent_path() / (folder_.filename().string() + "-json");
  fs::create_directories(collections);
  std::ofstream(collections / "77001.json", std::ios::binary)
      << "{\"code\":200,\"data\":{\"icons\":[{\"show_svg\":\"" << ordinary << "\"},{\"show_svg\":\""
      << longPath << "\"},{\"show_svg\":\"" << manyPaths << "\"},{\"show_svg\":\"" << ordinary
      << "\"}]}}";
  standin::StandinOptions options;
  options.collectionDirs = {collections.string()};
  standin::StandinServer library(options);
  iconLibrary_ = library.LibraryUrl();

  AppState state;
  RecordingUi ui("77001", FolderText());
  const RunSummary summary = Run(ui, state);
  fs::remove_all(collections);
  EXPECT_EQ(summary.documents, 2);
  EXPECT_EQ(summary.saved, 2);
  EXPECT_EQ(summary.failed, 2);
  EXPECT_EQ(state.failureCount, 2);
  EXPECT_EQ(FolderNames().size(), 2u);
  EXPECT_EQ(ui.Captions(Control::kLabel4).back(), "4 个图标转换完成!转换失败2个.");
  EXPECT_TRUE(ui.Messages().empty()) << "a search that gave up is no markup without paths";
  const std::vector<std::string> failures = ui.Failures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_TRUE(failures[0].starts_with("icon 2: the path search gave up")) << failures[0];
  EXPECT_TRUE(failures[1].starts_with("icon 3: the path search gave up")) << failures[1];
  // The failed icons show the document status line's failure like a given-up document.
  const std::vector<std::string> label5 = ui.Captions(Control::kLabel5);
  EXPECT_EQ(std::count(label5.begin(), label5.end(), "转换失败"), 2);
}

TEST_F(ConversionRunTest, OddButValidRepliesStillSave) {
  for (const Mode mode : {Mode::kUnicodeEscapes, Mode::kSlowDrip}) {
    SCOPED_TRACE(std::string(standin::ModeName(mode)));
    EmptyFolder();
    Server().SetMode(mode, mode == Mode::kSlowDrip ? unsigned{standin::kStatusEndpoint} : 0u);
    AppState state;
    RecordingUi ui("90005", FolderText());
    EXPECT_EQ(Run(ui, state).saved, 1);
    EXPECT_EQ(FolderNames().size(), 1u);
  }
}

TEST_F(ConversionRunTest, LargeAndMultiLineMarkupConverts) {
  for (const auto& collection : {samples::kLargePath, samples::kLineBreak, samples::kBrokenSvg}) {
    SCOPED_TRACE(std::string(collection.id));
    EmptyFolder();
    AppState state;
    RecordingUi ui(std::string(collection.id), FolderText());
    const RunSummary summary = Run(ui, state);
    EXPECT_EQ(summary.documents, collection.documents);
    EXPECT_EQ(summary.saved + summary.failed, summary.documents);
    EXPECT_EQ(static_cast<int>(FolderNames().size()), summary.saved);
  }
}

TEST_F(ConversionRunTest, PicturesNeverReplaceEachOtherOrForeignFiles) {
  // Both runs begin at the same time of day, so their two documents each collide with a file that
  // is already there: first a foreign one, then the pictures of the first run as well.
  const FixedClock clock;
  const platform::ScopedClockLocale scope(clock);
  std::ofstream(folder_ / NthName(1), std::ios::binary) << "mine";
  AppState state;
  RecordingUi ui("90002", FolderText());
  EXPECT_EQ(Run(ui, state).saved, 2);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{NthName(1), NthName(2), NthName(3)}));
  EXPECT_EQ(ReadFile(folder_ / NthName(1)), "mine");
  const std::string first = ReadFile(folder_ / NthName(2));
  const std::string second = ReadFile(folder_ / NthName(3));
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(first != second);  // a square, then a circle

  RecordingUi again("90002", FolderText());
  EXPECT_EQ(Run(again, state).saved, 2);
  EXPECT_EQ(InSavingOrder(FolderNames()),
            (std::vector<std::string>{NthName(1), NthName(2), NthName(3), NthName(4), NthName(5)}));
  EXPECT_EQ(ReadFile(folder_ / NthName(1)), "mine");
  // The first run's pictures are untouched, and the second run drew the same two pictures under
  // the next free names (compared whole; a difference is not worth printing).
  EXPECT_TRUE(ReadFile(folder_ / NthName(2)) == first);
  EXPECT_TRUE(ReadFile(folder_ / NthName(3)) == second);
  EXPECT_TRUE(ReadFile(folder_ / NthName(4)) == first);
  EXPECT_TRUE(ReadFile(folder_ / NthName(5)) == second);
}

TEST_F(ConversionRunTest, FolderTextWithoutSeparatorIsANamePrefix) {
  AppState state;
  RecordingUi ui("90005", folder_.string() + "/icons");
  Run(ui, state);
  const std::vector<std::string> names = FolderNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(icons\d{6}\.png)"))) << names[0];
}

}  // namespace
}  // namespace korvane::testing
