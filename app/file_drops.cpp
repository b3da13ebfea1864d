#include "app/file_drops.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <utility>

namespace korvane {
namespace {

const QString kCopiedFiles = QStringLiteral("x-special/gnome-copied-files");

QList<QUrl> CopiedFilesUrls(const QMimeData& mime) {
  // The first line says "copy" or "cut"; every further line is a URI.
  const QStringList lines =
      QString::fromUtf8(mime.data(kCopiedFiles)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  QList<QUrl> urls;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    urls.push_back(QUrl(lines[i].trimmed()));
  }
  return urls;
}

}  // namespace

QStringList DroppedLocalPaths(const QMimeData& mime) {
  const QList<QUrl> urls = mime.hasUrls()                 ? mime.urls()
                           : mime.hasFormat(kCopiedFiles) ? CopiedFilesUrls(mime)
                                                          : QList<QUrl>();
  QStringList paths;
  for (const QUrl& url : urls) {
    if (url.isLocalFile()) {
      paths.push_back(QDir::toNativeSeparators(url.toLocalFile()));
    }
  }
  return paths;
}

FileDropRedirect::FileDropRedirect(std::function<void(const QStringList&)> take, QObject* parent)
    : QObject(parent), take_(std::move(take)) {}

bool FileDropRedirect::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (drag->mimeData() == nullptr || DroppedLocalPaths(*drag->mimeData()).isEmpty()) {
        break;
      }
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (drop->mimeData() == nullptr) {
        break;
      }
      const QStringList paths = DroppedLocalPaths(*drop->mimeData());
      if (paths.isEmpty()) {
        break;
      }
      drop->acceptProposedAction();
      take_(paths);
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace korvane
