// The program's entry point: the toolkit, the application state, the main window and the message
// loop, then the clean-up once the window has closed.
#include <QApplication>
#include <QStringList>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "pipeline/run_conversion.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("korvane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Korvane"));

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
  // The worker runs one conversion; the window shows its captions, so the run's summary record is
  // not needed here.
  const korvane::WorkerBody conversion = [](korvane::ConversionContext& context) {
    korvane::RunConversion(context);
  };
  window = std::make_unique<korvane::MainWindow>(state, shell, conversion, options);
  QObject::connect(window.get(), &korvane::MainWindow::closed, &app, &QCoreApplication::quit);
  window->show();
  return QApplication::exec();
}
