// The program's entry point: the toolkit, the application state, the main window and the message
// loop, then the clean-up once the window has closed.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QStringList>
#include <QTranslator>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/shell.h"
#include "pipeline/run_conversion.h"

int main(int argc, char** argv) {
  // Interrupt and termination (Ctrl-C, a script that started the window ending) close the window
  // as its close button does, so a running worker is stopped and joined and leaves no partial
  // file. The signals are blocked first of all, before any thread exists, so every thread
  // inherits the mask and one that arrives while the toolkit starts waits on the descriptor
  // below, which the message loop reads.
  sigset_t closeSignals;
  sigemptyset(&closeSignals);
  sigaddset(&closeSignals, SIGINT);
  sigaddset(&closeSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &closeSignals, nullptr);
  const int signalDescriptor = signalfd(-1, &closeSignals, SFD_CLOEXEC | SFD_NONBLOCK);

  QApplication app(argc, argv);
  // No application display name: Qt would append it to the title of every other window (the
  // tutorial window, the folder dialog), whose titles are their own texts.
  QApplication::setApplicationName(QStringLiteral("korvane"));
  // Ties the window to the installed menu entry and its icon (both named korvane); a build that
  // is not installed finds no such icon and keeps the toolkit's default.
  QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("korvane")));
  // Qt's own texts in the user's language; the program's captions are Chinese in every locale.
  const std::unique_ptr<QTranslator> qtTexts = korvane::InstallQtTranslations(QLocale());

  // Qt has taken its own arguments out; the rest are ours.
  std::vector<std::string> args;
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    args.push_back(arguments[i].toStdString());
  }
  const korvane::CommandLine commandLine = korvane::ParseCommandLine(args);
  if (!commandLine.error.empty()) {
    std::cerr << "korvane: " << commandLine.error << "\n" << korvane::CommandLineUsage();
    return 2;
  }
  if (const std::string error = korvane::TrustCaFile(commandLine.caFile); !error.empty()) {
    std::cerr << "korvane: " << error << "\n";
    return 2;
  }

  korvane::AppState state;
  korvane::QtShell shell;
  std::unique_ptr<korvane::MainWindow> window;

  // The exit clean-up, registered before the window exists: it runs when the message loop ends,
  // after the worker has been stopped and joined, so no running worker reads a released text.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
    if (window != nullptr) {
      window->StopWorker();
    }
    state.ReleaseTexts();
  });

  // The loop ends with the main window, not with the last window: a tutorial window may still be
  // open.
  QApplication::setQuitOnLastWindowClosed(false);
  korvane::WindowOptions options;
  options.endpoints = commandLine.endpoints;
  options.limits = commandLine.limits;
  // The worker runs one conversion; the window shows its captions, so the run's summary record is
  // not needed here.
  const korvane::WorkerBody conversion = [](korvane::ConversionContext& context) {
    korvane::RunConversion(context);
  };
  window = std::make_unique<korvane::MainWindow>(state, shell, conversion, options);
  QObject::connect(window.get(), &korvane::MainWindow::closed, &app, &QCoreApplication::quit);
  std::unique_ptr<QSocketNotifier> signalNotifier;
  if (signalDescriptor >= 0) {
    signalNotifier = std::make_unique<QSocketNotifier>(signalDescriptor, QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [&] {
      signalfd_siginfo info;
      while (read(signalDescriptor, &info, sizeof info) == sizeof info) {
      }
      window->close();
    });
  }
  window->show();
  const int status = QApplication::exec();
  signalNotifier.reset();
  if (signalDescriptor >= 0) {
    close(signalDescriptor);
  }
  return status;
}
