// The desktop services the windows call that would block a test or leave the process: message
// boxes, the folder dialog, the browser, and the primary screen's size. The windows reach them only
// through this interface; the program passes QtShell, tests pass a recording fake.
#pragma once

#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>

class QDialog;
class QWidget;

namespace korvane {

class Shell {
 public:
  virtual ~Shell() = default;

  // A message box with `text` and `style` (0: OK only; 16: OK and the error icon); returns when
  // it has been closed.
  virtual void ShowMessage(QWidget* parent, const QString& text, int style) = 0;
  // The same box without holding anything up: it shows at once, blocks no window, and `closed`
  // runs on this thread once it has been closed, by the user or by reject() on the returned
  // dialog (which then deletes itself).
  virtual QDialog* OpenMessage(QWidget* parent, const QString& text, int style,
                               std::function<void()> closed) = 0;
  // The folder dialog: folders only, with an edit field for typing a path. Returns the chosen
  // folder in the platform's own notation, or an empty string when cancelled.
  virtual QString ChooseFolder(QWidget* parent, const QString& title) = 0;
  // Opens `url` in the user's default browser.
  virtual void OpenUrl(const QUrl& url) = 0;
  // Width and height of the primary screen, in pixels.
  virtual QSize PrimaryScreenSize() = 0;
};

class QtShell : public Shell {
 public:
  void ShowMessage(QWidget* parent, const QString& text, int style) override;
  QDialog* OpenMessage(QWidget* parent, const QString& text, int style,
                       std::function<void()> closed) override;
  QString ChooseFolder(QWidget* parent, const QString& title) override;
  void OpenUrl(const QUrl& url) override;
  QSize PrimaryScreenSize() override;
};

}  // namespace korvane
