// Qt's own texts (the buttons of message boxes, the folder dialog, the edit fields' context menu)
// in the user's language. The program's captions are its own and read the same in every locale.
#pragma once

#include <QLocale>
#include <QString>
#include <memory>

class QTranslator;

namespace korvane {

// Loads the Qt base translations for `locale` from the translations folder of the Qt that the
// program runs with (where the distribution's translation package puts them), and installs them
// into the application. Returns the installed translator, which uninstalls itself when destroyed,
// or nothing when there is no translation for the locale.
std::unique_ptr<QTranslator> InstallQtTranslations(const QLocale& locale);

// The folder that InstallQtTranslations reads.
QString QtTranslationsFolder();

}  // namespace korvane
