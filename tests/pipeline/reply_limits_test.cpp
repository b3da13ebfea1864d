// Whole runs against an icon library and a conversion service that misbehave the way hostile or
// broken servers do: a collection past its cap, a PNG that never ends or announces gigabytes, a
// status reply far too large, a download dripped out for ever. Each ends as a failed request of
// its kind, with nothing written to the folder and the run going on.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "app/core/app_state.h"
#include "pipeline/run_conversion.h"
#include "recording_ui.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A complete 1x1 PNG (every chunk's CRC right).
const std::string kTinyPng(
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00"
    "\x00\x00\x01\x08\x06\x00\x00\x00\x1F\x15\xC4\x89\x00\x00\x00\x0B\x49\x44\x41\x54\x78"
    "\x9C\x63\x60\x00\x02\x00\x00\x05\x00\x01\x7A\x5E\xAB\x3F\x00\x00\x00\x00\x49\x45\x4E"
    "\x44\xAE\x42\x60\x82",
    68);

constexpr std::string_view kMarkup =
    "<svg class=\\\"icon\\\" viewBox=\\\"0 0 1024 1024\\\" version=\\\"1.1\\\" "
    "xmlns=\\\"http://www.w3.org/2000/svg\\\"><path d=\\\"M0 0L1024 1024Z\\\"></path></svg>";

// A collection of `icons` icons, padded with a long member to `padTo` bytes.
std::string Collection(int icons, size_t padTo = 0) {
  std::string json = R"({"code":200,"data":{"icons":[)";
  for (int i = 0; i < icons; ++i) {
    json += i ? "," : "";
    json += R"({"id":)" + std::to_string(i) + R"(,"show_svg":")" + std::string(kMarkup) + "\"}";
  }
  json += R"(],"pad":")";
  if (json.size() + 3 < padTo)
    json.append(padTo - json.size() - 3, 'p');
  json += "\"}}";
  return json;
}

enum class Download { kPng, kEndless, kAnnouncedHuge, kDrip };

class ReplyLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("korvane-limits-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);

    server_.Get("/api/collection/detail.json",
                [this](const httplib::Request& req, httplib::Response& res) {
                  const size_t size = std::stoul(req.get_param_value("id"));
                  res.set_content(Collection(1, size), "application/json");
                });
    server_.Post(R"(/upload/.*)", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"ok":1})", "application/json");
    });
    server_.Get(R"(/zh/convert/.*)", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(R"({"ok":1})", "application/json");
    });
    server_.Get(R"(/zh/status/.*)", [this](const httplib::Request&, httplib::Response& res) {
      ++statusRequests_;
      std::string reply = R"({"progress":100,"pad":")";
      reply.append(statusPadding_, 'p');
      res.set_content(reply + "\"}", "application/json");
    });
    server_.Get(R"(/download/.*)",
                [this](const httplib::Request&, httplib::Response& res) { ServeDownload(res); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  void TearDown() override {
    server_.stop();
    thread_.join();
    fs::remove_all(folder_);
  }

  void ServeDownload(httplib::Response& res) {
    switch (download_) {
      case Download::kPng:
        res.set_content(kTinyPng, "image/png");
        return;
      case Download::kEndless:
        res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
          std::string piece(64 * 1024, 'x');
          if (offset == 0)
            piece.replace(0, 8, kTinyPng.substr(0, 8));
          return sink.write(piece.data(), piece.size());
        });
        return;
      case Download::kAnnouncedHuge:
        res.set_content_provider(size_t{2} << 30, "image/png",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                   std::string piece(std::min<size_t>(length, 64 * 1024), 'x');
                                   if (offset == 0)
                                     piece.replace(0, 8, kTinyPng.substr(0, 8));
                                   return sink.write(piece.data(), piece.size());
                                 });
        return;
      case Download::kDrip:
        res.set_chunked_content_provider("image/png", [](size_t offset, httplib::DataSink& sink) {
          std::this_thread::sleep_for(100ms);
          return offset == 0 ? sink.write(kTinyPng.data(), 8) : sink.write("x", 1);
        });
        return;
    }
  }

  // Runs one conversion of the collection of `collectionBytes` bytes.
  RunSummary Run(RecordingUi& ui, const ReplyLimits& limits) {
    ServiceEndpoints endpoints;
    endpoints.iconLibrary = "http://127.0.0.1:" + std::to_string(port_);
    endpoints.converter = endpoints.iconLibrary;
    ConversionContext context{state_, ui, {}, endpoints};
    context.waitScale = 0.001;
    context.limits = limits;
    return RunConversion(context);
  }

  RunSummary RunOne(size_t collectionBytes, const ReplyLimits& limits = {}) {
    RecordingUi ui(std::to_string(collectionBytes), folder_.string() + "/");
    RunSummary summary = Run(ui, limits);
    failedCaptions_ = 0;
    for (const std::string& caption : ui.Captions(Control::kLabel5))
      failedCaptions_ += caption == "转换失败";
    return summary;
  }

  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }

  fs::path folder_;
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  AppState state_;
  std::atomic<Download> download_{Download::kPng};
  std::atomic<size_t> statusPadding_{0};
  std::atomic<int> statusRequests_{0};
  int failedCaptions_ = 0;
};

TEST_F(ReplyLimitsTest, ACollectionPastItsCapIsUnreadableUntilTheCapIsRaised) {
  ReplyLimits small;
  small.collectionBytes = 1 * kMiB;
  const RunSummary tooLarge = RunOne(2 * kMiB, small);
  EXPECT_FALSE(tooLarge.collectionRead);
  EXPECT_EQ(tooLarge.iconCount, 0);
  EXPECT_EQ(tooLarge.documents, 0);
  EXPECT_EQ(FilesInFolder(), 0u);

  ReplyLimits raised;
  raised.collectionBytes = 4 * kMiB;
  const RunSummary read = RunOne(2 * kMiB, raised);
  EXPECT_TRUE(read.collectionRead);
  EXPECT_EQ(read.iconCount, 1);
  EXPECT_EQ(read.saved, 1);
  EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(ReplyLimitsTest, DownloadsThatNeverEndOrAnnounceGigabytesFailTheDocument) {
  for (const Download download : {Download::kEndless, Download::kAnnouncedHuge}) {
    SCOPED_TRACE(static_cast<int>(download));
    download_ = download;
    const RunSummary summary = RunOne(1000);  // the default caps: 64 MiB for a PNG
    EXPECT_TRUE(summary.collectionRead);
    EXPECT_EQ(summary.documents, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.saved, 0);
    EXPECT_EQ(failedCaptions_, 1);
    EXPECT_EQ(FilesInFolder(), 0u);
  }
  download_ = Download::kPng;  // the same service with an honest PNG saves it
  EXPECT_EQ(RunOne(1000).saved, 1);
  EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(ReplyLimitsTest, AStatusReplyPastItsCapFailsTheDocumentAtTheFirstPoll) {
  statusPadding_ = 2 * kMiB;
  const RunSummary summary = RunOne(1000);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(statusRequests_, 1);  // not polled ten times
  EXPECT_EQ(FilesInFolder(), 0u);

  ReplyLimits raised;  // the same reply under a raised cap reads 100 and saves
  raised.statusReplyBytes = 4 * kMiB;
  EXPECT_EQ(RunOne(1000, raised).saved, 1);
}

TEST_F(ReplyLimitsTest, ADownloadDrippedOutForEverFailsAtTheRequestDeadline) {
  download_ = Download::kDrip;
  ReplyLimits limits;
  limits.requestDeadlineSeconds = 1;
  const RunSummary summary = RunOne(1000, limits);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(FilesInFolder(), 0u);
}

}  // namespace
}  // namespace korvane::testing
