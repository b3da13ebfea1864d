#include "app/window_geometry.h"

#include <QEvent>
#include <QMargins>
#include <QObject>
#include <QWidget>
#include <QWindow>

namespace korvane {
namespace {

QMargins FrameMargins(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

// Holds a window's requested outer geometry and applies it again when the frame turns out to be
// other than it was when the geometry was applied: the window manager frames the window after it
// is mapped, and tells the frame's extents with the configure events that follow.
class OuterGeometryKeeper : public QObject {
 public:
  static constexpr QLatin1StringView kName{"korvane-outer-geometry"};

  explicit OuterGeometryKeeper(QWidget& window) : QObject(&window), window_(window) {
    setObjectName(kName);
    window.installEventFilter(this);
  }

  static OuterGeometryKeeper& Of(QWidget& window) {
    OuterGeometryKeeper* keeper = Find(window);
    return keeper != nullptr ? *keeper : *new OuterGeometryKeeper(window);
  }
  static OuterGeometryKeeper* Find(const QWidget& window) {
    return dynamic_cast<OuterGeometryKeeper*>(
        window.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
  }

  void SetSize(QSize outer) {
    requested_.setSize(outer);
    hasSize_ = true;
    ApplySize();
  }

  void SetTopLeft(QPoint topLeft) {
    requested_.moveTopLeft(topLeft);
    hasPosition_ = true;
    ApplyPosition();
  }

  QRect Requested() const { return requested_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && watching_) {
      switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
          ReapplyIfFrameChanged();
          break;
        case QEvent::Paint:
          ReapplyIfFrameChanged();
          // Painted with a frame known: from now on the size and place are the user's. Without a
          // window manager the frame never comes; the first paint ends the watch as well.
          watching_ = false;
          break;
        default:
          break;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void ApplySize() {
    applied_ = FrameMargins(window_);
    window_.resize(requested_.size().shrunkBy(applied_));
  }

  void ApplyPosition() {
    // move() on a top-level window positions its frame, with the margins Qt knows at the time.
    applied_ = FrameMargins(window_);
    window_.move(requested_.topLeft());
  }

  void ReapplyIfFrameChanged() {
    if (FrameMargins(window_) == applied_) {
      return;
    }
    if (hasSize_) {
      ApplySize();
    }
    if (hasPosition_) {
      ApplyPosition();
    }
  }

  QWidget& window_;
  QRect requested_;
  QMargins applied_;
  bool hasSize_ = false;
  bool hasPosition_ = false;
  bool watching_ = true;
};

}  // namespace

QSize OuterSize(const QWidget& window) {
  return window.size().grownBy(FrameMargins(window));
}

void SetOuterSize(QWidget& window, QSize outer) {
  // The window system tells the frame's size once the window exists, so make it exist now.
  (void)window.winId();
  OuterGeometryKeeper::Of(window).SetSize(outer);
}

void MoveOuter(QWidget& window, QPoint topLeft) {
  (void)window.winId();
  OuterGeometryKeeper::Of(window).SetTopLeft(topLeft);
}

void SetOuterGeometry(QWidget& window, const QRect& outer) {
  SetOuterSize(window, outer.size());
  MoveOuter(window, outer.topLeft());
}

QRect RequestedOuterGeometry(const QWidget& window) {
  const OuterGeometryKeeper* keeper = OuterGeometryKeeper::Find(window);
  return keeper != nullptr ? keeper->Requested() : QRect();
}

}  // namespace korvane
