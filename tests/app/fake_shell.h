// A shell for tests: records message boxes, folder dialogs and opened URLs instead of showing
// them, and answers the screen size and the folder dialog as the test sets them.
#pragma once

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
  QString ChooseFolder(QWidget* parent, const QString& title) override;
  void OpenUrl(const QUrl& url) override;
  QSize PrimaryScreenSize() override { return screenSize; }

  // Runs while a message box would be open, on the user-interface thread.
  std::function<void(const QString& text)> onMessage;
  QString folderToChoose;
  QSize screenSize{1920, 1080};

  std::vector<ShownMessage> messages;
  QStringList dialogTitles;
  std::vector<QUrl> openedUrls;
};

// Processes events until `done` holds or `timeoutMs` has passed; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A GBK literal as a Qt string.
QString Q(std::string_view gbk);

}  // namespace korvane::testing
