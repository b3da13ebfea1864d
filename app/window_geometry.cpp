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
        case QEvent::Move:
        case QEvent::Resize:
          ReapplyIfMisplaced();
          break;
        case QEvent::Paint:
          // Painted where it belongs: from now on the size and place are the user's. Without a
          // window manager no frame comes, and the first paint ends the watch as well.
          if (!ReapplyIfMisplaced()) {
            watching_ = false;
          }
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
    // The client area goes inside the frame. QWidget::move() would place the frame, but with the
    // frame's extent Qt cached at the last move, which is stale right after the window manager
    // has framed the window.
    applied_ = FrameMargins(window_);
    window_.setGeometry(
        QRect(requested_.topLeft() + QPoint(applied_.left(), applied_.top()), window_.size()));
  }

  // Applies the requested geometry again when the frame has changed since it was applied, or
  // the window is not where it was asked to be (the window manager's first placement can arrive
  // after the request). Returns whether it did.
  bool ReapplyIfMisplaced() {
    const QWindow* handle = window_.windowHandle();
    // Until the window is on the screen it is only where Qt was told to put it; only the window
    // system's answers after that can say otherwise. (A geometry request between the show and the
    // first expose also holds Qt's expose back until the window system answers it.)
    if (handle == nullptr || !handle->isExposed() || reapplied_ >= kMostReapplications) {
      return false;
    }
    const QRect outer = handle->frameGeometry();
    const bool misplaced = (hasSize_ && outer.size() != requested_.size()) ||
                           (hasPosition_ && outer.topLeft() != requested_.topLeft());
    if (FrameMargins(window_) == applied_ && !misplaced) {
      return false;
    }
    ++reapplied_;
    if (hasSize_) {
      ApplySize();
    }
    if (hasPosition_) {
      ApplyPosition();
    }
    return true;
  }

  // A window manager that will not have the window there (a screen edge, a tiling layout) gets
  // its way after a few tries instead of a tug of war.
  static constexpr int kMostReapplications = 8;

  QWidget& window_;
  QRect requested_;
  QMargins applied_;
  bool hasSize_ = false;
  bool hasPosition_ = false;
  int reapplied_ = 0;
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
