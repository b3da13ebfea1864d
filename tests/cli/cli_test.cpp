// korvane-cli: its options, its printing window, and the program run for real against the
// stand-in services, Ctrl-C included.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/cli_options.h"
#include "cli/console_ui.h"
#include "standin/standin_server.h"

extern char** environ;

namespace korvane {
namespace {

namespace fs = std::filesystem;

TEST(CliOptions, ParsesAndRejects) {
  std::string error;
  auto options = ParseCliOptions({"--folder", "/tmp/x", "--converter", "https://h:1/"}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->id, "12527");
  EXPECT_EQ(options->folder, "/tmp/x/");
  EXPECT_EQ(options->converter, "https://h:1");
  EXPECT_TRUE(ParseCliOptions({"--help"}, error)->help);
  EXPECT_EQ(options->limits.downloadBytes, kDownloadCapBytes);
  options = ParseCliOptions({"--folder", "/tmp/x", "--download-cap", "512", "--status-cap", "2",
                             "--collection-cap", "300", "--request-deadline", "5"},
                            error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->limits.downloadBytes, 512 * kMiB);
  EXPECT_EQ(options->limits.statusReplyBytes, 2 * kMiB);
  EXPECT_EQ(options->limits.collectionBytes, 300 * kMiB);
  EXPECT_EQ(options->limits.requestDeadlineSeconds, 5);

  struct Bad {
    std::vector<std::string> args;
    std::string error;
  };
  const Bad cases[] = {
      {{}, "--folder is required"},
      {{"--folder"}, "--folder needs a value"},
      {{"--folder", ""}, "--folder is required"},
      {{"--folder", "/tmp", "--bogus"}, "unknown argument: --bogus"},
      {{"--folder", "/tmp", "--download-cap"},
       "--download-cap needs a whole number from 1 to 1048576: "},
      {{"--folder", "/tmp", "--request-deadline", "0"},
       "--request-deadline needs a whole number from 1 to 86400: 0"},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(ParseCliOptions(c.args, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(ConsoleUi, PrintsStatusLinesAsUtf8AndNothingAfterTheCancelText) {
  char* outText = nullptr;
  char* errText = nullptr;
  size_t outSize = 0, errSize = 0;
  std::FILE* out = open_memstream(&outText, &outSize);
  std::FILE* err = open_memstream(&errText, &errSize);
  std::stop_source stop;
  {
    ConsoleUi ui(out, err, false, "12527", "/tmp/", stop.get_token());
    EXPECT_EQ(ui.Text(Control::kEdit1), "12527");
    EXPECT_EQ(ui.Text(Control::kEdit2), "/tmp/");
    ui.SetCaption(Control::kLabel4, "总共 2 图标");
    ui.SetCaption(Control::kButton1, "开始");  // the button is not a status line
    ui.SetPosition(Control::kProgress1, 1);
    EXPECT_EQ(ui.Position(Control::kProgress1), 1);
    ui.ShowMessage("无svg代码", kMessageError);
    stop.request_stop();
    ui.Cancel("已经取消转换.");
    ui.SetCaption(Control::kLabel5, "正在保存png");
    ui.ShowMessage("无svg代码", kMessageError);
    EXPECT_EQ(ui.MessageCount(), 1);
  }
  std::fclose(out);
  std::fclose(err);
  // 总共 2 图标, then 已经取消转换., in UTF-8.
  EXPECT_EQ(std::string(outText, outSize),
            "\xE6\x80\xBB\xE5\x85\xB1 2 \xE5\x9B\xBE\xE6\xA0\x87\n"
            "\xE5\xB7\xB2\xE7\xBB\x8F\xE5\x8F\x96\xE6\xB6\x88\xE8\xBD\xAC\xE6\x8D\xA2.\n");
  EXPECT_EQ(std::string(errText, errSize), "\xE6\x97\xA0svg\xE4\xBB\xA3\xE7\xA0\x81\n");
  std::free(outText);
  std::free(errText);
}

TEST(ConsoleUi, DrawsABarOnATerminalAndClearsItBeforeEachLine) {
  char* outText = nullptr;
  size_t outSize = 0;
  std::FILE* out = open_memstream(&outText, &outSize);
  {
    ConsoleUi ui(out, stderr, true, "12527", "/tmp/", {});
    ui.SetMaximum(Control::kProgress1, 4);
    ui.SetPosition(Control::kProgress1, 2);
    ui.SetPosition(Control::kProgress2, 50);
    ui.SetCaption(Control::kLabel5, "ok");
  }
  std::fclose(out);
  const std::string text(outText, outSize);
  std::free(outText);
  const std::string bar = "[" + std::string(15, '#') + std::string(15, '-') + "] 2/4  50%";
  EXPECT_NE(text.find("\r" + bar), std::string::npos) << text;
  // The bar is wiped before the status line and drawn again after it.
  EXPECT_NE(text.find(bar + "\r\033[Kok\n\r" + bar), std::string::npos) << text;
}

// The program run as a child process with its output collected.
struct Child {
  pid_t pid = -1;
  int out = -1;
  int err = -1;

  static Child Start(const std::vector<std::string>& args) {
    std::array<int, 2> outPipe{}, errPipe{};
    EXPECT_EQ(::pipe(outPipe.data()), 0);
    EXPECT_EQ(::pipe(errPipe.data()), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv;
    std::string program = KORVANE_CLI_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    Child child;
    EXPECT_EQ(posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    child.out = outPipe[0];
    child.err = errPipe[0];
    return child;
  }

  static std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
      text.append(buffer, n);
    ::close(fd);
    return text;
  }

  // Waits for the end; returns the exit status (128 + signal for a killed child).
  int Finish(std::string& outText, std::string& errText) {
    std::thread errReader([&] { errText = ReadAll(err); });
    outText = ReadAll(out);
    errReader.join();
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

class CliProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<standin::StandinServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    server_->SetMode(standin::Mode::kNormal);
    server_->SetPolls(0);
    folder_ = fs::temp_directory_path() /
              ("korvane-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    server_->SetMode(standin::Mode::kNormal);
    fs::remove_all(folder_);
  }

  std::vector<std::string> Args(const std::string& id) const {
    return {"--id",           id,
            "--folder",       folder_.string(),
            "--icon-library", server_->LibraryUrl(),
            "--converter",    server_->ServiceUrl(),
            "--ca-file",      server_->CaPath()};
  }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
      names.push_back(entry.path().filename());
    return names;
  }

  static std::unique_ptr<standin::StandinServer> server_;
  fs::path folder_;
};

std::unique_ptr<standin::StandinServer> CliProgramTest::server_;

TEST_F(CliProgramTest, ExitStatusTellsHowTheRunWent) {
  struct Case {
    std::string id;
    standin::Mode mode;
    int status;
    size_t files;
  };
  const Case cases[] = {
      {"90001", standin::Mode::kNormal, 0, 2},
      {"90009", standin::Mode::kNormal, 0, 0},   // an empty collection: nothing to fail
      {"90005", standin::Mode::kNotPng, 1, 0},   // a failed document
      {"90008", standin::Mode::kNormal, 2, 0},   // data without icons
      {"777777", standin::Mode::kNormal, 2, 0},  // no such collection
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    server_->SetMode(c.mode);
    std::string out, err;
    EXPECT_EQ(Child::Start(Args(c.id)).Finish(out, err), c.status) << out << err;
    EXPECT_EQ(FolderNames().size(), c.files);
    EXPECT_NE(out.find("\xE8\xBD\xAC\xE6\x8D\xA2\xE5\xA4\xB1\xE8\xB4\xA5"), std::string::npos)
        << out;  // the summary line, "...转换失败N个." in UTF-8
  }
}

TEST_F(CliProgramTest, TheRequestDeadlineOptionEndsADownloadDrippedOutForEver) {
  server_->SetMode(standin::Mode::kSlowDrip, standin::kDownloadEndpoint);
  server_->SetDrip(1, std::chrono::milliseconds(100));
  std::vector<std::string> args = Args("90001");
  args.insert(args.end(), {"--request-deadline", "1"});
  std::string out, err;
  EXPECT_EQ(Child::Start(args).Finish(out, err), 1) << out << err;
  EXPECT_TRUE(FolderNames().empty());
  server_->SetDrip(32, std::chrono::milliseconds(100));  // the stand-in's own drip again
}

TEST_F(CliProgramTest, BadUsageExitsTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--id", "1"},
      {"--folder", "/no/such/folder/anywhere"},
      {"--folder", "/tmp", "--ca-file", "/no/such.pem"},
      {"--folder", "/tmp", "--what"},
  };
  for (const auto& args : cases) {
    std::string out, err;
    EXPECT_EQ(Child::Start(args).Finish(out, err), 2);
    EXPECT_NE(err.find("korvane-cli: "), std::string::npos) << err;
  }
}

TEST_F(CliProgramTest, InterruptCancelsCleanly) {
  server_->SetPolls(3);
  Child child = Child::Start(Args("12527"));
  // Let it get going, then press Ctrl-C.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ::kill(child.pid, SIGINT);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 130);
  const std::string cancelText =
      "\xE5\xB7\xB2\xE7\xBB\x8F\xE5\x8F\x96\xE6\xB6\x88\xE8\xBD\xAC"
      "\xE6\x8D\xA2.\n";  // 已经取消转换.
  ASSERT_GE(out.size(), cancelText.size());
  EXPECT_EQ(out.substr(out.size() - cancelText.size()), cancelText) << out;
  for (const auto& name : FolderNames())
    EXPECT_TRUE(name.ends_with(".png")) << name;
}

}  // namespace
}  // namespace korvane
