// The program's look: Fusion with colour scheme 3, set on the application so that every window of
// the user-interface thread takes it, those that exist and those created later (message boxes and
// dialogs included).
#pragma once

#include <QColor>
#include <QPalette>

namespace korvane {

// Colour scheme 3: a calm blue-grey window colour, white fields, blue selection.
QPalette SchemeThreePalette();

// Switches the skin on for the whole application. Safe to call more than once.
void ApplySkin();

// Colours as the program writes them: an integer 0xBBGGRR.
QColor ColourFromBgr(int bgr);
int ColourToBgr(const QColor& colour);

}  // namespace korvane
