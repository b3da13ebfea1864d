// Runs the desktop tests on a display of their own: a virtual X server (Xvfb) with a window
// manager (openbox) that frames windows as a user's desktop does, under a Chinese locale. Both are
// started here and stopped at the end; without them the tests are skipped, with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTranslator>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/qt_translations.h"

extern char** environ;

// Under LeakSanitizer: the D-Bus library that Qt's X11 platform connects through keeps a buffer
// for the life of the process, which is not a leak of this program.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace {

// ctest counts this status as a skipped test (SKIP_RETURN_CODE).
constexpr int kSkipped = 77;

pid_t Spawn(const std::vector<std::string>& args, const posix_spawn_file_actions_t* actions) {
  std::vector<char*> argv;
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  return pid;
}

void Stop(pid_t pid) {
  if (pid > 0) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
}

// Starts Xvfb on a display number it picks itself and returns that number, or -1.
int StartXvfb(pid_t& pid) {
  int fds[2];
  if (::pipe(fds) != 0) {
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
              &actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string number;
  char c;
  while (pid > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
    number += c;
  }
  ::close(fds[0]);
  return number.empty() ? -1 : std::stoi(number);
}

// Whether a window manager has announced itself on the display (checked with xprop).
bool WindowManagerRunning() {
  FILE* out = ::popen("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", "r");
  if (out == nullptr) {
    return false;
  }
  char line[256] = {};
  const bool announced = std::fgets(line, sizeof line, out) != nullptr &&
                         std::string(line).find("window id") != std::string::npos;
  ::pclose(out);
  return announced;
}

// Whether the window manager frames a window shown now. Right after it announced itself it may
// still be starting, and a window mapped in that moment can stay unmanaged; the probe is shown
// again until one is framed.
bool WindowManagerFrames() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    QWidget probe;
    probe.resize(50, 50);
    probe.show();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      const QWindow* handle = probe.windowHandle();
      if (handle != nullptr && handle->isExposed() && handle->frameMargins().top() > 0) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"}) {
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
      std::printf("SKIPPED: the desktop tests need %s (scripts/install-deps.sh installs it)\n",
                  tool);
      return kSkipped;
    }
  }
  pid_t xvfb = -1;
  const int display = StartXvfb(xvfb);
  if (display < 0) {
    std::fprintf(stderr, "cannot start Xvfb\n");
    Stop(xvfb);
    return 1;
  }
  const std::string displayName = ":" + std::to_string(display);
  ::setenv("DISPLAY", displayName.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const pid_t openbox = Spawn({"openbox"}, &quiet);
  posix_spawn_file_actions_destroy(&quiet);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!WindowManagerRunning() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  int status = 1;
  if (!WindowManagerRunning()) {
    std::fprintf(stderr, "openbox did not start on %s\n", displayName.c_str());
  } else {
    QApplication app(argc, argv);
    if (!WindowManagerFrames()) {
      std::fprintf(stderr, "openbox on %s frames no window\n", displayName.c_str());
      Stop(openbox);
      Stop(xvfb);
      return 1;
    }
    // As the program does: Qt's own texts in the language of the environment's locale.
    const std::unique_ptr<QTranslator> qtTexts = korvane::InstallQtTranslations(QLocale());
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  Stop(openbox);
  Stop(xvfb);
  return status;
}
