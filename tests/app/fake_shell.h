// A shell for tests: records message boxes, folder dialogs and opened URLs instead of showing
// them, and answers the screen size and the folder dialog as the test sets them.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <string_view>
#include <vector>

#include "app/shell.h"

namespace korvane::testing {

struct ShownMessage {
  QString text;
  int style = 0;
};

class FakeShell : public Shell {
 public:
  void ShowMessage(QWidget* parent, const QString& text, int style) override;
  // Records the box like ShowMessage and returns a hidden dialog that stands for it. The user
  // closes it at once with OK unless `holdMessages` is set; then it stays open until the test
  // or the program closes it.
  QDialog* OpenMessage(QWidget* parent, const QString& text, int style,
                       std::function<void()> closed) override;
  QString ChooseFolder(QWidget* parent, const QString& title) override;
  void OpenUrl(const QUrl& url) override;
  QSize PrimaryScreenSize() override { return screenSize; }

  // Runs while a message box would be open, on the user-interface thread.
  std::function<void(const QString& text)> onMessage;
  QString folderToChoose;
  QSize screenSize{1920, 1080};

  bool holdMessages = false;

  std::vector<ShownMessage> messages;
  // The boxes of OpenMessage, while they exist, and how many of them have been closed.
  std::vector<QPointer<QDialog>> openedBoxes;
  int closedBoxes = 0;
  QStringList dialogTitles;
  std::vector<QUrl> openedUrls;
};

// Processes events until `done` holds or `timeoutMs` has passed; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A GBK literal as a Qt string.
QString Q(std::string_view gbk);

}  // namespace korvane::testing
