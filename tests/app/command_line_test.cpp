// The program's options: none keeps the services' own hosts; each option in both spellings; every
// malformed use an error.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/http_trust.h"

namespace korvane {
namespace {

TEST(CommandLineTest, NoArgumentsKeepTheDefaults) {
  const CommandLine parsed = ParseCommandLine({});
  const ServiceEndpoints defaults;
  EXPECT_TRUE(parsed.error.empty());
  EXPECT_EQ(parsed.endpoints.iconLibrary, defaults.iconLibrary);
  EXPECT_EQ(parsed.endpoints.converter, defaults.converter);
  EXPECT_TRUE(parsed.caFile.empty());
  EXPECT_EQ(parsed.limits.collectionBytes, kCollectionCapBytes);
  EXPECT_EQ(parsed.limits.requestDeadlineSeconds, kRequestDeadlineSeconds);
}

TEST(CommandLineTest, RaisesTheReplyCapsAndTheDeadline) {
  const CommandLine parsed = ParseCommandLine({"--collection-cap", "1024", "--download-cap=128",
                                               "--status-cap", "8", "--request-deadline=600"});
  EXPECT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.limits.collectionBytes, 1024 * kMiB);
  EXPECT_EQ(parsed.limits.downloadBytes, 128 * kMiB);
  EXPECT_EQ(parsed.limits.statusReplyBytes, 8 * kMiB);
  EXPECT_EQ(parsed.limits.requestDeadlineSeconds, 600);
}

TEST(CommandLineTest, ReadsEveryOptionInBothSpellings) {
  const CommandLine parsed =
      ParseCommandLine({"--icon-library", "http://127.0.0.1:8080/",
                        "--converter=https://localhost:8443", "--ca-file", "/tmp/ca.pem"});
  EXPECT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.endpoints.iconLibrary, "http://127.0.0.1:8080");
  EXPECT_EQ(parsed.endpoints.converter, "https://localhost:8443");
  EXPECT_EQ(parsed.caFile, "/tmp/ca.pem");
}

TEST(CommandLineTest, MalformedUseIsAnError) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"12527"},
      {"--icon-library"},
      {"--converter", "ftp://host"},
      {"--icon-library=localhost:8080"},
      {"--icon-library", "http://"},
      {"--ca-file="},
      {"--collection-cap"},
      {"--collection-cap", "0"},
      {"--download-cap=-5"},
      {"--status-cap", "1.5"},
      {"--request-deadline", "2m"},
      {"--request-deadline=99999999999"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.front());
    EXPECT_FALSE(ParseCommandLine(args).error.empty());
  }
}

TEST(CommandLineTest, TrustsOnlyACaFileThatCanBeRead) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("korvane-ca-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path pem = folder / "ca.pem";
  std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\n";

  platform::SetTrustedCaFile({});
  for (const fs::path& bad : {folder / "missing.pem", folder}) {
    SCOPED_TRACE(bad.string());
    EXPECT_NE(TrustCaFile(bad.string()), "");
    EXPECT_EQ(platform::TrustedCaFile(), "");
  }
  EXPECT_EQ(TrustCaFile(""), "");
  EXPECT_EQ(platform::TrustedCaFile(), "");
  EXPECT_EQ(TrustCaFile(pem.string()), "");
  EXPECT_EQ(platform::TrustedCaFile(), pem.string());

  platform::SetTrustedCaFile({});
  fs::remove_all(folder);
}

// The program itself refuses bad options before it opens a window.
TEST(CommandLineTest, TheProgramEndsWithStatus2OnBadOptions) {
  struct Case {
    QStringList args;
    const char* error;
  };
  const Case cases[] = {
      {{QStringLiteral("--ca-file"), QStringLiteral("/nonexistent/korvane-ca.pem")},
       "korvane: --ca-file: cannot read the CA file /nonexistent/korvane-ca.pem"},
      {{QStringLiteral("--converter"), QStringLiteral("svg2png.example.com")},
       "korvane: --converter needs an http:// or https:// URL"},
      {{QStringLiteral("--bogus")}, "korvane: unknown argument: --bogus"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    QProcess program;
    program.start(QStringLiteral(KORVANE_PROGRAM), c.args);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    // The toolkit may put warnings of its own before ours.
    EXPECT_TRUE(program.readAllStandardError().contains(c.error));
  }
}

// Whether process `pid` runs `program` (its exec is done) and has `signal` blocked: read in that
// order, since the spawning itself blocks every signal for a moment before the exec.
bool RunsWithSignalBlocked(qint64 pid, const char* program, int signal) {
  namespace fs = std::filesystem;
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

// Termination closes the window as its close button does, and the program ends normally: once
// its message loop runs, and also when it comes at the very start, while the toolkit is still
// starting up and before any handling of it exists.
TEST(CommandLineTest, TheProgramClosesItsWindowOnTermination) {
  for (const bool atStart : {true, false}) {
    SCOPED_TRACE(atStart ? "at start" : "in the message loop");
    QProcess program;
    program.start(QStringLiteral(KORVANE_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(30000));
    if (atStart) {
      QElapsedTimer timer;
      timer.start();
      while (!RunsWithSignalBlocked(program.processId(), KORVANE_PROGRAM, SIGTERM) &&
             timer.elapsed() < 30000) {
        std::this_thread::yield();
      }
    } else {
      program.waitForFinished(1000);
    }
    ASSERT_EQ(program.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
  }
}

}  // namespace
}  // namespace korvane
