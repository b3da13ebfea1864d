// The window with its real worker: whole conversion runs against the in-process stand-in services
// over loopback HTTP and HTTPS, typed into the window and started with its button, several runs in
// one window adding up their failures, and closing the window in the middle of a run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/core/app_state.h"
#include "app/main_window.h"
#include "pipeline/run_conversion.h"
#include "platform/http_trust.h"
#include "standin/standin_server.h"
#include "tests/app/fake_shell.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using standin::Mode;
using testing::FakeShell;
using testing::Q;
using testing::WaitUntil;

// Whole runs over loopback; generous for sanitizer builds on a busy machine.
constexpr int kRunDeadlineMs = 120000;

bool IsCompletePng(const std::string& bytes) {
  static const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
  static const std::string kEnd("IEND\xAE\x42\x60\x82", 8);
  return bytes.size() > 16 && bytes.compare(0, 8, kSignature) == 0 &&
         bytes.compare(bytes.size() - 8, 8, kEnd) == 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class WindowRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<standin::StandinServer>();
    platform::SetTrustedCaFile(server_->CaPath());
  }

  static void TearDownTestSuite() {
    platform::SetTrustedCaFile({});
    server_.reset();
  }

  void SetUp() override {
    server_->SetMode(Mode::kNormal);
    server_->SetPolls(2);
    server_->ClearRequestLog();
    folder_ = fs::temp_directory_path() /
              ("korvane-window-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }

  void TearDown() override {
    window_.reset();
    server_->SetMode(Mode::kNormal);  // lets a stalled or dripping reply go
    server_->SetDrip(32, 100ms);
    state_.ReleaseTexts();
    fs::remove_all(folder_);
  }

  // The window stays hidden: its worker's updates need no drawing, and drawing would bring in
  // Qt's pooled painting threads, whose own synchronisation ThreadSanitizer cannot see.
  void Open(double waitScale) {
    WindowOptions options;
    options.endpoints.iconLibrary = server_->LibraryUrl();
    options.endpoints.converter = server_->ServiceUrl();
    options.waitScale = waitScale;
    window_ = std::make_unique<MainWindow>(
        state_, shell_, [](ConversionContext& context) { RunConversion(context); }, options);
  }

  // Types the folder (ending in the separator) and the collection ID, and presses Start.
  void Start(const std::string& id) {
    for (auto [edit, text] : {std::pair{Child<QLineEdit>("编辑框2"), folder_.string() + "/"},
                              std::pair{Child<QLineEdit>("编辑框1"), id}}) {
      edit->clear();
      QTest::keyClicks(edit, QString::fromStdString(text));
      ASSERT_EQ(edit->text().toStdString(), text);
    }
    Button()->click();
    EXPECT_EQ(Button()->text(), Q("暂停"));
  }

  // Waits for the run to end by itself, with its summary line in 标签4.
  void WaitForSummary(std::string_view summary) {
    const bool ended =
        WaitUntil([&] { return Button()->text() == Q("开始") && Status()->text() == Q(summary); },
                  kRunDeadlineMs);
    ASSERT_TRUE(ended) << "status: " << Status()->text().toStdString()
                       << ", button: " << Button()->text().toStdString();
  }

  bool Logged(std::string_view pathStart) const {
    const auto log = server_->RequestLog();
    return std::any_of(log.begin(), log.end(), [&](const standin::LoggedRequest& r) {
      return r.path.starts_with(pathStart);
    });
  }

  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  template <typename Widget>
  Widget* Child(std::string_view name) {
    return window_->findChild<Widget*>(Q(name));
  }
  QPushButton* Button() { return Child<QPushButton>("按钮1"); }
  QLabel* Status() { return Child<QLabel>("标签4"); }
  QProgressBar* Bar() { return Child<QProgressBar>("进度条1"); }

  static std::unique_ptr<standin::StandinServer> server_;
  fs::path folder_;
  AppState state_;
  FakeShell shell_;
  std::unique_ptr<MainWindow> window_;
};

std::unique_ptr<standin::StandinServer> WindowRunTest::server_;

TEST_F(WindowRunTest, RunsSaveThePicturesAndTheFailureCountAddsUpAcrossRuns) {
  Open(0.001);  // a one-second pause between polls lasts a millisecond

  // A healthy run: both icons of the collection saved as whole PNG files.
  Start("90001");
  WaitForSummary("2 个图标转换完成!转换失败0个.");
  EXPECT_EQ(Bar()->maximum(), 2);
  EXPECT_EQ(Bar()->value(), 2);
  EXPECT_EQ(Child<QProgressBar>("进度条2")->value(), 100);
  const std::vector<std::string> saved = FolderNames();
  ASSERT_EQ(saved.size(), 2u);
  for (const std::string& name : saved) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(name.ends_with(".png"));
    // The time of day as six digits; a second picture in the same second gets a free name.
    EXPECT_TRUE(
        std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; }));
    EXPECT_TRUE(IsCompletePng(ReadFile(folder_ / name)));
  }
  EXPECT_TRUE(shell_.messages.empty());

  // The converter now answers every download with an HTML page: each document is given up, and
  // the count goes on from the earlier runs of this window (0, then 1, then 1 + 2).
  server_->SetMode(Mode::kNotPng);
  Start("90005");
  WaitForSummary("1 个图标转换完成!转换失败1个.");
  EXPECT_EQ(Child<QLabel>("标签5")->text(), Q("转换失败"));
  EXPECT_EQ(Bar()->value(), 1);

  Start("90001");
  WaitForSummary("2 个图标转换完成!转换失败3个.");
  EXPECT_EQ(Bar()->value(), 2);
  EXPECT_EQ(state_.failureCount, 3);
  // Nothing of the failed documents reached the folder.
  EXPECT_EQ(FolderNames(), saved);
}

// Closing the window stops the worker wherever it is and waits for it: while it pauses between
// status polls, and while a picture is being downloaded. No summary line follows and no file,
// whole or partial, is left behind.
TEST_F(WindowRunTest, ClosingMidRunStopsAndJoinsTheWorker) {
  struct Case {
    const char* name;
    std::function<void()> steer;
    const char* waitForRequest;
  };
  const Case cases[] = {
      // Status replies that stay below 100 for far longer than the ten polls of a document.
      {"between polls", [] { server_->SetPolls(1000); }, "/zh/status/"},
      // A download that trickles out a few bytes at a time.
      {"mid-download",
       [] {
         server_->SetPolls(0);
         server_->SetDrip(8, 200ms);
         server_->SetMode(Mode::kSlowDrip, standin::kDownloadEndpoint);
       },
       "/download/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_->SetMode(Mode::kNormal);
    server_->ClearRequestLog();
    c.steer();
    Open(1.0);  // real one-second pauses
    QSignalSpy closed(window_.get(), &MainWindow::closed);
    Start("90001");
    ASSERT_TRUE(WaitUntil([&] { return Logged(c.waitForRequest); }, kRunDeadlineMs));
    QTest::qWait(300);  // well inside the pause or the download
    const QString status = Status()->text();
    ASSERT_EQ(status, Q("总共 2 图标,正在下载\\转换第 1 个图标.")) << status.toStdString();

    const auto pressed = std::chrono::steady_clock::now();
    window_->close();
    const auto took = std::chrono::steady_clock::now() - pressed;
    std::printf("[ %s ] closed in %.1f ms\n", c.name,
                std::chrono::duration<double, std::milli>(took).count());
    // Far below the one-second pause and the trickling download, yet met by a loaded machine
    // running a sanitizer build.
    EXPECT_LT(took, 500ms);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(state_.workerThread.joinable());
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), status);
    EXPECT_EQ(Button()->text(), Q("暂停"));
    EXPECT_EQ(FolderNames(), std::vector<std::string>());
    window_.reset();
  }
}

}  // namespace
}  // namespace korvane
