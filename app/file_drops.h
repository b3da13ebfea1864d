// Files and folders dropped onto the main window. File managers offer a dragged item in several
// formats at once (a URI list, the same URIs as plain text, their own copied-files list), and an
// edit field takes any drag that carries text: a dropped folder would be spliced into the field's
// text. Drags that carry local files are therefore taken away from the fields and given to the
// window's own drop handling; a drag of plain text still reaches the field.
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;

namespace korvane {

// The local files and folders a drag carries, in the platform's own notation and in the order
// given: from its URI list, or else from a file manager's copied-files list
// ("x-special/gnome-copied-files": "copy" or "cut", then one URI a line). Empty when it carries
// none (text, or only remote URLs).
QStringList DroppedLocalPaths(const QMimeData& mime);

// An event filter for the window's edit fields: accepts every drag that carries local files and
// hands the paths of a drop to `take`, so the field itself never sees such a drag.
class FileDropRedirect : public QObject {
 public:
  FileDropRedirect(std::function<void(const QStringList&)> take, QObject* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QStringList&)> take_;
};

}  // namespace korvane
