#include "tests/app/fake_shell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/text_bridge.h"

namespace korvane::testing {

void FakeShell::ShowMessage(QWidget*, const QString& text, int style) {
  messages.push_back({text, style});
  if (onMessage) {
    onMessage(text);
  }
}

QString FakeShell::ChooseFolder(QWidget*, const QString& title) {
  dialogTitles.push_back(title);
  return folderToChoose;
}

void FakeShell::OpenUrl(const QUrl& url) {
  openedUrls.push_back(url);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
  }
  return true;
}

QString Q(std::string_view gbk) {
  return FromGbk(gbk);
}

}  // namespace korvane::testing
