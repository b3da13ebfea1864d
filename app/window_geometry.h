// Window geometry as the program states it: the outer rectangle of a window, frame and caption
// included. Qt places a top-level window by its frame but sizes it by its client area, so these
// helpers add or take off the frame margins that the window system reports.
//
// A window manager frames a window only when it is mapped, so before the first show the margins
// read as zero and the client area would get the whole outer size. Each window therefore keeps
// the outer geometry last asked for and applies it again whenever the reported margins change,
// until the window has been painted once with its frame known.
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

// The outer geometry last asked for through the calls above (an empty rectangle if none was).
QRect RequestedOuterGeometry(const QWidget& window);

}  // namespace korvane
