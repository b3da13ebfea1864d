// korvane-cli: its options, its printing window, and the program run for real against the
// stand-in services, Ctrl-C included.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
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
    ui.ReportFailure("save /tmp/140709.png: write: 设备上没有空间");
    stop.request_stop();
    ui.Cancel("已经取消转换.");
    ui.SetCaption(Control::kLabel5, "正在保存png");
    ui.ShowMessage("无svg代码", kMessageError);
    ui.ReportFailure("download: after the cancel");
    EXPECT_EQ(ui.MessageCount(), 1);
  }
  std::fclose(out);
  std::fclose(err);
  // 总共 2 图标, then 已经取消转换., in UTF-8.
  EXPECT_EQ(std::string(outText, outSize),
            "\xE6\x80\xBB\xE5\x85\xB1 2 \xE5\x9B\xBE\xE6\xA0\x87\n"
            "\xE5\xB7\xB2\xE7\xBB\x8F\xE5\x8F\x96\xE6\xB6\x88\xE8\xBD\xAC\xE6\x8D\xA2.\n");
  // 无svg代码, then the failure line with its GBK text made UTF-8.
  EXPECT_EQ(
      std::string(errText, errSize),
      "\xE6\x97\xA0svg\xE4\xBB\xA3\xE7\xA0\x81\n"
      "korvane-cli: failed: save /tmp/140709.png: write: "
      "\xE8\xAE\xBE\xE5\xA4\x87\xE4\xB8\x8A\xE6\xB2\xA1\xE6\x9C\x89\xE7\xA9\xBA\xE9\x97\xB4\n");
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

  // `wrapper` runs in front of the program (a command and its options, ending in "--").
  static Child Start(const std::vector<std::string>& args,
                     const std::vector<std::string>& wrapper = {}) {
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
    std::vector<std::string> copies = wrapper;
    copies.push_back(KORVANE_CLI_PROGRAM);
    copies.insert(copies.end(), args.begin(), args.end());
    const std::string program = copies.front();
    for (auto& arg : copies)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    Child child;
    EXPECT_EQ(posix_spawnp(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ),
              0);
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

  // Reads standard output until a whole first line has arrived or `limit` has passed; returns
  // what was read (kept for Finish as well).
  std::string ReadFirstLine(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    while (early.find('\n') == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0)
        break;
      pollfd ready{out, POLLIN, 0};
      if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
        continue;
      const ssize_t n = ::read(out, buffer, sizeof buffer);
      if (n <= 0)
        break;
      early.append(buffer, static_cast<size_t>(n));
    }
    return early;
  }

  // Waits for the end; returns the exit status, or kKilledBy + the signal for a child that a
  // signal ended (so a child killed by SIGINT is never taken for one that exited with 130).
  static constexpr int kKilledBy = 1000;
  int Finish(std::string& outText, std::string& errText) {
    std::thread errReader([&] { errText = ReadAll(err); });
    outText = early + ReadAll(out);
    errReader.join();
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : kKilledBy + WTERMSIG(status);
  }

  std::string early;  // output read before Finish
};

// Whether process `pid` runs `program` (its exec is done) and has `signal` blocked: read in that
// order, since the spawning itself blocks every signal for a moment before the exec.
bool RunsWithSignalBlocked(pid_t pid, const std::string& program, int signal) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::error_code error;
  if (fs::read_symlink(proc + "/exe", error) != fs::canonical(program, error)) {
    return false;
  }
  std::ifstream status(proc + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("SigBlk:")) {
      return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0;
    }
  }
  return false;
}

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

TEST_F(CliProgramTest, EveryFailedDocumentGetsItsReasonOnStandardError) {
  // Pictures that a broken converter cut short or damaged, and a folder the tool cannot write to.
  struct Case {
    standin::Mode mode;
    bool readOnlyFolder;
    std::string reason;
  };
  const Case cases[] = {
      {standin::Mode::kTruncatedPng, false,
       "truncated PNG (a chunk runs past the end of the data)"},
      {standin::Mode::kBadCrc, false, "damaged PNG (a chunk CRC does not match)"},
      {standin::Mode::kNoIend, false, "truncated PNG (no IEND chunk)"},
      {standin::Mode::kServerError, false, "HTTP 500 Internal Server Error"},
      {standin::Mode::kNormal, true, "create a temporary file: Permission denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(standin::ModeName(c.mode)));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    server_->SetMode(
        c.mode, c.mode == standin::Mode::kServerError ? unsigned{standin::kDownloadEndpoint} : 0u);
    std::vector<std::string> wrapper;
    if (c.readOnlyFolder) {
      fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec);
      // The superuser writes anywhere; without that privilege it is refused like anyone else.
      if (::geteuid() == 0) {
        wrapper = {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
                   "--bounding-set=-dac_override,-dac_read_search", "--"};
      }
    }
    std::string out, err;
    EXPECT_EQ(Child::Start(Args("90001"), wrapper).Finish(out, err), 1) << out << err;
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_TRUE(FolderNames().empty());
    // One line per document of the collection's two, each naming the request and what failed.
    size_t lines = 0;
    for (size_t at = err.find("korvane-cli: failed: icon "); at != std::string::npos;
         at = err.find("korvane-cli: failed: icon ", at + 1)) {
      const std::string line = err.substr(at, err.find('\n', at) - at);
      EXPECT_NE(line.find(c.reason), std::string::npos) << line;
      EXPECT_NE(line.find(c.readOnlyFolder ? ": save " + folder_.string() + "/"
                                           : ": download https://127.0.0.1:"),
                std::string::npos)
          << line;
      ++lines;
    }
    EXPECT_EQ(lines, 2u) << err;
  }
}

TEST_F(CliProgramTest, AFolderNameOutsideGbkIsRefusedBeforeAnyRequest) {
  // "f-ö": GBK has no ö, which would become '?' and name the sibling "f-?" when there is one.
  const fs::path wanted = folder_ / "f-\xC3\xB6";
  const fs::path sibling = folder_ / "f-?";
  for (const bool withSibling : {false, true}) {
    SCOPED_TRACE(withSibling);
    fs::create_directories(wanted);
    if (withSibling)
      fs::create_directories(sibling);
    server_->ClearRequestLog();
    std::vector<std::string> args = Args("90001");
    args[3] = wanted.string();
    std::string out, err;
    EXPECT_EQ(Child::Start(args).Finish(out, err), 2);
    EXPECT_NE(err.find("korvane-cli: the folder name has characters that cannot be handled"),
              std::string::npos)
        << err;
    EXPECT_TRUE(server_->RequestLog().empty());
    EXPECT_TRUE(fs::is_empty(wanted));
    if (withSibling) {
      EXPECT_TRUE(fs::is_empty(sibling));
    }
  }
  // A name GBK can spell works as before: "图标" lands its pictures there.
  const fs::path gbkFolder = folder_ / "\xE5\x9B\xBE\xE6\xA0\x87";
  fs::create_directories(gbkFolder);
  std::vector<std::string> args = Args("90001");
  args[3] = gbkFolder.string();
  std::string out, err;
  EXPECT_EQ(Child::Start(args).Finish(out, err), 0) << err;
  EXPECT_EQ(std::distance(fs::directory_iterator(gbkFolder), fs::directory_iterator()), 2);
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
  // The first status line ("总共 40 图标") comes after the program has taken over Ctrl-C, so from
  // then on the signal is the user's Pause, however long the start took on a busy machine.
  const std::string first = child.ReadFirstLine(std::chrono::seconds(60));
  ASSERT_NE(first.find('\n'), std::string::npos) << "no status line: " << first;
  EXPECT_EQ(first.substr(0, first.find('\n') + 1),
            "\xE6\x80\xBB\xE5\x85\xB1 40 \xE5\x9B\xBE\xE6\xA0\x87\n");  // 总共 40 图标
  ::kill(child.pid, SIGINT);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 130) << out << err;
  // Cancelled in the middle: the summary line never came.
  EXPECT_EQ(out.find("\xE8\xBD\xAC\xE6\x8D\xA2\xE5\xA4\xB1\xE8\xB4\xA5"), std::string::npos) << out;
  const std::string cancelText =
      "\xE5\xB7\xB2\xE7\xBB\x8F\xE5\x8F\x96\xE6\xB6\x88\xE8\xBD\xAC"
      "\xE6\x8D\xA2.\n";  // 已经取消转换.
  ASSERT_GE(out.size(), cancelText.size());
  EXPECT_EQ(out.substr(out.size() - cancelText.size()), cancelText) << out;
  for (const auto& name : FolderNames())
    EXPECT_TRUE(name.ends_with(".png")) << name;
}

// A collection page that declares a charset whose converter consumes a bad pair before it
// reports it (CP949, under the label ks_c_5601-1987): the page is read as far as it can be, the
// exit status tells how, and nothing crashes.
TEST_F(CliProgramTest, CollectionPageDeclaringACharsetIsReadNotCrashedOn) {
  const std::string meta = "<meta charset=ks_c_5601-1987>";
  struct Case {
    std::string page;
    int status;
  };
  const Case cases[] = {
      // the pair inside a string: the quote after it is kept, so an empty collection is read
      {"{\"data\":{\"icons\":[]},\"note\":\"" + meta + "\xA2\xE8\"}", 0},
      // the pair at the very end: not a collection, so an unreadable one
      {"{\"data\":{\"icons\":[]},\"note\":\"" + meta + "\"}\xA2\xE8", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    httplib::Server library;
    library.Get("/api/collection/detail.json",
                [&c](const httplib::Request&, httplib::Response& res) {
                  res.set_content(c.page, "application/json");
                });
    const int port = library.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread thread([&library] { library.listen_after_bind(); });
    while (!library.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::vector<std::string> args = Args("4242");
    args[5] = "http://127.0.0.1:" + std::to_string(port);  // --icon-library
    std::string out, err;
    EXPECT_EQ(Child::Start(args).Finish(out, err), c.status) << out << err;
    EXPECT_TRUE(FolderNames().empty());
    library.stop();
    thread.join();
  }
}

// Ctrl-C at the very start, while the options are still being read: the program has blocked it
// first thing, so it waits for the watcher and cancels the run like any other.
TEST_F(CliProgramTest, InterruptAtStartIsHandledLikeAnyOther) {
  server_->SetPolls(3);
  Child child = Child::Start(Args("12527"));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!RunsWithSignalBlocked(child.pid, KORVANE_CLI_PROGRAM, SIGINT) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  ::kill(child.pid, SIGINT);
  std::string out, err;
  EXPECT_EQ(child.Finish(out, err), 130) << out << err;
  EXPECT_TRUE(
      out.ends_with("\xE5\xB7\xB2\xE7\xBB\x8F\xE5\x8F\x96\xE6\xB6\x88\xE8\xBD\xAC"
                    "\xE6\x8D\xA2.\n"))
      << out;  // 已经取消转换.
}

}  // namespace
}  // namespace korvane
