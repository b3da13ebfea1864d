#include "app/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <memory>
#include <utility>

#include "app/captions.h"
#include "app/text_bridge.h"
#include "pipeline/ui_port.h"

namespace korvane {
namespace {

QMessageBox* NewMessageBox(QWidget* parent, const QString& text, int style) {
  // The toolkit's default title for a message box is the program's name.
  return new QMessageBox(style == kMessageError ? QMessageBox::Critical : QMessageBox::NoIcon,
                         FromGbk(captions::kMainTitle), text, QMessageBox::Ok, parent);
}

}  // namespace

void QtShell::ShowMessage(QWidget* parent, const QString& text, int style) {
  std::unique_ptr<QMessageBox> box(NewMessageBox(parent, text, style));
  box->exec();
}

QDialog* QtShell::OpenMessage(QWidget* parent, const QString& text, int style,
                              std::function<void()> closed) {
  QMessageBox* box = NewMessageBox(parent, text, style);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  // Closed by its button, by reject(), or taken down with its parent: `closed` runs once.
  auto once = std::make_shared<std::function<void()>>(std::move(closed));
  const auto report = [once] {
    if (*once) {
      std::exchange(*once, nullptr)();
    }
  };
  QObject::connect(box, &QDialog::finished, box, report);
  QObject::connect(box, &QObject::destroyed, report);
  box->show();
  return box;
}

QString QtShell::ChooseFolder(QWidget* parent, const QString& title) {
  const QString folder = QFileDialog::getExistingDirectory(
      parent, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  return QDir::toNativeSeparators(folder);
}

void QtShell::OpenUrl(const QUrl& url) {
  QDesktopServices::openUrl(url);
}

QSize QtShell::PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->size() : QSize();
}

}  // namespace korvane
