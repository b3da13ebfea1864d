// Runs the korvane-standin program itself: its three start lines, its answers and a clean stop.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Child {
  pid_t pid = -1;
  FILE* out = nullptr;
};

Child Launch(std::vector<std::string> args) {
  int fds[2];
  if (pipe(fds) != 0)
    return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    args.insert(args.begin(), KORVANE_STANDIN_PROGRAM);
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  return {pid, fdopen(fds[0], "r")};
}

std::string Line(FILE* f) {
  char buf[1024];
  if (!fgets(buf, sizeof buf, f))
    return {};
  std::string s = buf;
  if (!s.empty() && s.back() == '\n')
    s.pop_back();
  return s;
}

int Finish(Child& run) {
  int status = 0;
  waitpid(run.pid, &status, 0);
  fclose(run.out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(StandinProgram, PrintsWhereItListensServesAndStopsOnSignals) {
  const std::string ca = (std::filesystem::temp_directory_path() /
                          ("korvane_cli_ca_" + std::to_string(getpid()) + ".pem"))
                             .string();
  for (int sig : {SIGTERM, SIGINT}) {
    Child run =
        Launch({"--ca-out", ca, "--polls", "0", "--size", "64", "--mode", "http-500@download"});
    ASSERT_NE(run.out, nullptr);
    const std::string library = Line(run.out), converter = Line(run.out), caLine = Line(run.out);
    ASSERT_EQ(library.rfind("icon-library http://127.0.0.1:", 0), 0u) << library;
    ASSERT_EQ(converter.rfind("converter https://127.0.0.1:", 0), 0u) << converter;
    EXPECT_EQ(caLine, "ca " + ca);

    httplib::Client lib("127.0.0.1", std::stoi(library.substr(library.rfind(':') + 1)));
    auto r = lib.Get("/api/collection/detail.json?id=12527");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    httplib::SSLClient svc("127.0.0.1", std::stoi(converter.substr(converter.rfind(':') + 1)));
    svc.set_ca_cert_path(ca.c_str());
    svc.enable_server_certificate_verification(true);
    auto d = svc.Get("/download/a/b/c.png");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->status, 500);  // the mode given on the command line

    kill(run.pid, sig);
    EXPECT_EQ(Finish(run), 0);
  }
  std::filesystem::remove(ca);
}

TEST(StandinProgram, HelpAndBadArguments) {
  Child help = Launch({"--help"});
  EXPECT_EQ(Line(help.out).rfind("Usage: korvane-standin", 0), 0u);
  EXPECT_EQ(Finish(help), 0);
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},       {"--size"},           {"--size", "0"},       {"--size", "12px"},
      {"--polls", "-1"}, {"--mode", "sleepy"}, {"--mode", "stall@x"}, {"--library-port", "70000"},
      {"--ca-out", ""},
  };
  for (const auto& args : bad) {
    Child run = Launch(args);
    EXPECT_EQ(Line(run.out).rfind("korvane-standin: ", 0), 0u) << args[0];
    EXPECT_EQ(Finish(run), 2) << args[0];
  }
}

}  // namespace
