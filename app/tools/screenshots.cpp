// Takes the README's pictures of the windows under a display (a virtual one in
// scripts/screenshots.sh): the main window in the middle of a run and the tutorial window with its
// picture playing. The run is a real conversion of the sample collection against the in-process
// stand-in services, caught while one icon, halfway through the collection, is being converted.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>

#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "app/text_bridge.h"
#include "app/tutorial_window.h"
#include "pipeline/run_conversion.h"
#include "platform/http_trust.h"
#include "standin/standin_server.h"

namespace {

// Message boxes are not wanted in the pictures; the screen is the real one.
class PictureShell : public korvane::QtShell {
 public:
  void ShowMessage(QWidget*, const QString&, int) override {}
  QDialog* OpenMessage(QWidget*, const QString&, int, std::function<void()> closed) override {
    if (closed) {
      closed();
    }
    return nullptr;
  }
};

void ProcessFor(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
}

bool Save(QWidget& window, const QString& path) {
  if (!window.grab().save(path, "PNG")) {
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
  }
  std::cout << path.toStdString() << "\n";
  return true;
}

// Processes events until `done` holds or `milliseconds` have passed; returns whether it held.
bool ProcessUntil(const std::function<bool()>& done, int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) {
      return false;
    }
    ProcessFor(10);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTPUT_FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));

  // The stand-ins answer the first status request with 100 until the run is halfway through
  // the collection; from then on a document takes three one-second polls, so the picture catches
  // one halfway.
  std::unique_ptr<korvane::standin::StandinServer> server;
  try {
    korvane::standin::StandinOptions standinOptions;
    standinOptions.polls = 0;
    server = std::make_unique<korvane::standin::StandinServer>(standinOptions);
  } catch (const std::exception& e) {
    std::cerr << "cannot start the stand-in services: " << e.what() << "\n";
    return 1;
  }
  korvane::platform::SetTrustedCaFile(server->CaPath());
  QTemporaryDir downloads(QDir::temp().filePath(QStringLiteral("korvane-icons-XXXXXX")));

  korvane::AppState state;
  PictureShell shell;
  korvane::WindowOptions options;
  options.endpoints.iconLibrary = server->LibraryUrl();
  options.endpoints.converter = server->ServiceUrl();
  korvane::MainWindow window(
      state, shell, [](korvane::ConversionContext& context) { korvane::RunConversion(context); },
      options);
  window.show();
  window.findChild<QLineEdit*>(korvane::FromGbk("编辑框2"))
      ->setText(downloads.path() + QStringLiteral("/"));
  window.findChild<QPushButton*>(korvane::FromGbk("按钮1"))->click();
  const auto* icons = window.findChild<QProgressBar*>(korvane::FromGbk("进度条1"));
  const auto* document = window.findChild<QProgressBar*>(korvane::FromGbk("进度条2"));
  if (!ProcessUntil([&] { return icons->maximum() > 1 && icons->value() >= icons->maximum() / 2; },
                    60000)) {
    std::cerr << "the run did not get halfway\n";
    return 1;
  }
  server->SetPolls(3);
  if (!ProcessUntil([&] { return document->value() == 50; }, 60000)) {
    std::cerr << "no document got halfway\n";
    return 1;
  }
  ProcessFor(100);
  bool saved = Save(window, folder.filePath(QStringLiteral("main-window-running.png")));

  korvane::TutorialWindow* tutorial = korvane::TutorialWindow::Open(shell);
  // Wait for the frames in which the cid is highlighted.
  QElapsedTimer timer;
  timer.start();
  while (tutorial->Movie()->currentFrameNumber() < 8 && timer.elapsed() < 10000) {
    ProcessFor(20);
  }
  ProcessFor(100);
  saved = Save(*tutorial, folder.filePath(QStringLiteral("tutorial-window.png"))) && saved;
  delete tutorial;
  window.StopWorker();
  korvane::platform::SetTrustedCaFile({});
  return saved ? 0 : 1;
}
