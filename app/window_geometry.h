// Window geometry as the program states it: the outer rectangle of a window, frame and caption
// included. Qt places a top-level window by its frame but sizes it by its client area, so these
// helpers add or take off the frame margins that the window system reports.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace korvane {

// The window's outer size (client size plus frame margins).
QSize OuterSize(const QWidget& window);
// Gives the window this outer size.
void SetOuterSize(QWidget& window, QSize outer);
// Places the window's outer top-left corner.
void MoveOuter(QWidget& window, QPoint topLeft);
// Both at once.
void SetOuterGeometry(QWidget& window, const QRect& outer);

}  // namespace korvane
