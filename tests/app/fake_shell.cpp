#include "tests/app/fake_shell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <memory>
#include <utility>

#include "app/text_bridge.h"

namespace korvane::testing {

void FakeShell::ShowMessage(QWidget*, const QString& text, int style) {
  messages.push_back({text, style});
  if (onMessage) {
    onMessage(text);
  }
}

QDialog* FakeShell::OpenMessage(QWidget* parent, const QString& text, int style,
                                std::function<void()> closed) {
  messages.push_back({text, style});
  auto* box = new QDialog(parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  auto once = std::make_shared<std::function<void()>>(std::move(closed));
  const auto report = [this, once] {
    ++closedBoxes;
    if (*once) {
      std::exchange(*once, nullptr)();
    }
  };
  QObject::connect(box, &QDialog::finished, box, report);
  openedBoxes.emplace_back(box);
  if (onMessage) {
    onMessage(text);
  }
  if (!holdMessages) {
    box->accept();
  }
  return box;
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
