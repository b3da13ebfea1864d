// korvane-cli: its options, its printing window, and the program run for real against the
// stand-in services, Ctrl-C included.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/cli_options.h"
#include "cli/console_ui.h"
#include "standin/sample_collections.h"
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

  struct Bad {
    std::vector<std::string> args;
    std::string error;
  };
  const Bad cases[] = {
      {{}, "--folder is required"},
      {{"--folder"}, "--folder needs a value"},
      {{"--folder", ""}, "--folder is required"},
      {{"--folder", "/tmp", "--bogus"}, "unknown argument: --bogus"},
  };
  for (const auto& c : cases) {
    error.clear();
    EXPECT_FALSE(ParseCliOptions(c.args, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(CliOptions, BatchOptionsAndTheirBadValues) {
  std::string error;
  auto options = ParseCliOptions({"--folder", "/tmp", "--renderer", "local", "--size", "16,512",
                                  "--names", "icon", "--format", "both", "--color", "#A0b1C2",
                                  "--skip-existing", "--collection-file", "c.json", "--jobs", "4"},
                                 error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->batch.renderer, RendererKind::kLocal);
  EXPECT_EQ(options->batch.markup, MarkupKind::kFull);  // the local renderer's default
  EXPECT_EQ(options->batch.sizes, (std::vector<int>{16, 512}));
  EXPECT_EQ(options->batch.names, NameKind::kIcon);
  EXPECT_EQ(options->batch.format, OutputFormat::kBoth);
  EXPECT_EQ(options->batch.color, "#A0b1C2");
  EXPECT_TRUE(options->batch.skipExisting);
  EXPECT_EQ(options->collectionFile, "c.json");
  EXPECT_EQ(options->batch.jobs, 4);

  options = ParseCliOptions({"--folder", "/tmp"}, error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->batch.IsWindowRun());
  options =
      ParseCliOptions({"--folder", "/tmp", "--renderer", "local", "--markup", "paths"}, error);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->batch.markup, MarkupKind::kPaths);

  struct Bad {
    std::vector<std::string> args;
    std::string error;
  };
  const Bad cases[] = {
      {{"--renderer", "gpu"}, "bad value for --renderer: 'gpu' (expected service or local)"},
      {{"--markup", "all"}, "bad value for --markup: 'all' (expected paths or full)"},
      {{"--names", ""}, "bad value for --names: '' (expected time, icon or id)"},
      {{"--format", "jpg"}, "bad value for --format: 'jpg' (expected png, svg or both)"},
      {{"--color", "red"}, "bad value for --color: 'red' (expected #RRGGBB)"},
      {{"--jobs", "0"}, "bad value for --jobs: '0' (expected a number from 1 to 64)"},
      {{"--jobs", "65"}, "bad value for --jobs: '65' (expected a number from 1 to 64)"},
      {{"--jobs", "2x"}, "bad value for --jobs: '2x' (expected a number from 1 to 64)"},
      {{"--collection-file", ""}, "bad value for --collection-file: '' (expected a file name)"},
      {{"--renderer", "local", "--size", "0"},
       "bad value for --size: '0' (expected pixel sizes from 1 to 8192, separated by commas)"},
      {{"--renderer", "local", "--size", "16,,32"},
       "bad value for --size: '16,,32' (expected pixel sizes from 1 to 8192, separated by commas)"},
      {{"--renderer", "local", "--size", "8193"},
       "bad value for --size: '8193' (expected pixel sizes from 1 to 8192, separated by commas)"},
      {{"--renderer", "local", "--size", "16,16"},
       "bad value for --size: '16,16' (expected each size once)"},
      {{"--size", "64"}, "--size needs --renderer local (the service chooses its own size)"},
      {{"--skip-existing"},
       "--skip-existing needs --names icon or --names id (time names change every run)"},
      {{"--jobs"}, "--jobs needs a value"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--folder", "/tmp"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    error.clear();
    EXPECT_FALSE(ParseCliOptions(args, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
  // Every option is in the usage text.
  for (const char* name : {"--renderer", "--markup", "--size", "--names", "--format", "--color",
                           "--skip-existing", "--collection-file", "--jobs"}) {
    EXPECT_NE(CliUsage().find(name), std::string::npos) << name;
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

// A saved collection and the local renderer need no network: the services are given as
// addresses where nothing listens, and every icon is still saved.
TEST_F(CliProgramTest, CollectionFileAndLocalRendererWorkOffline) {
  const fs::path collection = folder_.string() + "-collection.json";
  fs::copy_file(fs::path(standin::samples::BundledSamplesDir()) / "90001.json", collection,
                fs::copy_options::overwrite_existing);
  std::string out, err;
  const std::vector<std::string> args = {"--folder",
                                         folder_.string(),
                                         "--renderer",
                                         "local",
                                         "--names",
                                         "id",
                                         "--collection-file",
                                         collection.string(),
                                         "--icon-library",
                                         "http://127.0.0.1:9",
                                         "--converter",
                                         "https://127.0.0.1:9",
                                         "--jobs",
                                         "2",
                                         "--format",
                                         "both"};
  EXPECT_EQ(Child::Start(args).Finish(out, err), 0) << out << err;
  std::vector<std::string> names = FolderNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"9000101.png", "9000101.svg", "9000102.png", "9000102.svg"}));
  // Again with --skip-existing: nothing new, still success.
  std::vector<std::string> again = args;
  again.push_back("--skip-existing");
  EXPECT_EQ(Child::Start(again).Finish(out, err), 0) << out << err;
  EXPECT_EQ(FolderNames().size(), 4u);
  fs::remove(collection);

  EXPECT_EQ(Child::Start({"--folder", folder_.string(), "--collection-file", "/no/such.json"})
                .Finish(out, err),
            2);
  EXPECT_NE(err.find("cannot read collection file"), std::string::npos) << err;
  EXPECT_EQ(Child::Start({"--folder", folder_.string(), "--jobs", "many"}).Finish(out, err), 2);
  EXPECT_NE(err.find("bad value for --jobs"), std::string::npos) << err;
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
