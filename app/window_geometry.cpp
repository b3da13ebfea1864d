#include "app/window_geometry.h"

#include <QMargins>
#include <QWidget>
#include <QWindow>

namespace korvane {
namespace {

QMargins FrameMargins(QWidget& window) {
  // The window system tells the frame's size once the window exists, so make it exist now.
  (void)window.winId();
  const QWindow* handle = window.windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

}  // namespace

QSize OuterSize(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  const QMargins margins = handle != nullptr ? handle->frameMargins() : QMargins();
  return window.size().grownBy(margins);
}

void SetOuterSize(QWidget& window, QSize outer) {
  window.resize(outer.shrunkBy(FrameMargins(window)));
}

void MoveOuter(QWidget& window, QPoint topLeft) {
  // move() on a top-level window positions its frame.
  window.move(topLeft);
}

void SetOuterGeometry(QWidget& window, const QRect& outer) {
  SetOuterSize(window, outer.size());
  MoveOuter(window, outer.topLeft());
}

}  // namespace korvane
