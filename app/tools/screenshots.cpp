// Takes the README's pictures of the windows under a display (a virtual one in
// scripts/screenshots.sh): the main window in the middle of a run and the tutorial window with its
// picture playing. The run is a scripted worker that puts the window into the state a conversion
// reaches halfway through a collection and holds it there until it is stopped.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QThread>
#include <condition_variable>
#include <iostream>
#include <mutex>

#include "app/core/app_state.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "app/text_bridge.h"
#include "app/tutorial_window.h"

namespace {

// Message boxes are not wanted in the pictures; the screen is the real one.
class PictureShell : public korvane::QtShell {
 public:
  void ShowMessage(QWidget*, const QString&, int) override {}
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

void HalfwayRun(korvane::ConversionContext& context) {
  using korvane::Control;
  korvane::UiPort& ui = context.ui;
  ui.SetCaption(Control::kLabel4, "总共 24 图标");
  ui.SetMaximum(Control::kProgress1, 24);
  ui.SetCaption(Control::kLabel4, "总共 24 图标,正在下载\\转换第 9 个图标.");
  ui.SetPosition(Control::kProgress1, 9);
  ui.SetCaption(Control::kLabel5, "开始转换成png");
  ui.SetPosition(Control::kProgress2, 60);
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock lock(mutex);
  never.wait(lock, context.stop, [] { return false; });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Korvane"));
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTPUT_FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));

  korvane::AppState state;
  PictureShell shell;
  korvane::MainWindow window(state, shell, HalfwayRun);
  window.show();
  window.findChild<QLineEdit*>(korvane::FromGbk("编辑框2"))
      ->setText(QStringLiteral("/home/user/icons/"));
  window.findChild<QPushButton*>(korvane::FromGbk("按钮1"))->click();
  ProcessFor(500);
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
  return saved ? 0 : 1;
}
