#include "app/application_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace mevra::app {
namespace {

// Qt's catalogues with texts the user sees: the standard buttons and dialogs, and the browser.
const char* const kQtCatalogues[] = {"qtbase", "qtwebengine"};

}  // namespace

void SetUpApplication(QCoreApplication& application, const QString& language) {
  QCoreApplication::setApplicationName(QStringLiteral("Mevra音乐管家"));
  if (!LoadQtTranslations(application, language)) {
    qWarning("Qt's translations for %s were not all found; Qt's own texts stay English",
             qPrintable(language));
  }
}

bool LoadQtTranslations(QCoreApplication& application, const QString& language) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool all_found = true;
  for (const char* catalogue : kQtCatalogues) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QString::fromLatin1(catalogue) + QLatin1Char('_') + language, folder)) {
      QCoreApplication::installTranslator(translator);
    } else {
      all_found = false;
      delete translator;
    }
  }
  return all_found;
}

}  // namespace mevra::app
