#include "app/shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "pipeline/ui_port.h"

namespace korvane {

void QtShell::ShowMessage(QWidget* parent, const QString& text, int style) {
  // The toolkit's default title for a message box is the program's name.
  QMessageBox box(style == kMessageError ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
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
