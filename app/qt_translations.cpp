#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace korvane {

QString QtTranslationsFolder() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

std::unique_ptr<QTranslator> InstallQtTranslations(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  // "qtbase" holds the texts of Qt Widgets and Qt Gui; the locale's UI languages are tried in
  // order (zh_CN, then zh, ...).
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QtTranslationsFolder()) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  return translator;
}

}  // namespace korvane
