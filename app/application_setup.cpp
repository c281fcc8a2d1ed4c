#include "app/application_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/profile_file.h"

namespace mevra::app {
namespace {

// Qt's catalogues with texts the user sees: the standard buttons and dialogs, and the browser.
const char* const kQtCatalogues[] = {"qtbase", "qtwebengine"};

}  // namespace

std::optional<Language> LanguageNamed(const QString& name) {
  const QString key = name.trimmed().toLower().replace(QLatin1Char('-'), QLatin1Char('_'));
  if (key == QLatin1String("zh_cn") || key == QLatin1String("zh")) return Language::kChinese;
  if (key == QLatin1String("en")) return Language::kEnglish;
  return std::nullopt;
}

Language ConfiguredLanguage(const QString& config_path) {
  const std::string value =
      ProfileFile::ReadString(config_path.toStdString(), "Config", "Language", "");
  return LanguageNamed(QString::fromStdString(value)).value_or(Language::kChinese);
}

void SetUpApplication(QCoreApplication& application, Language language) {
  QCoreApplication::setApplicationName(QStringLiteral("Mevra音乐管家"));
  if (language == Language::kEnglish) {
    // Qt's own texts are English already.
    auto* translator = new QTranslator(&application);
    if (translator->load(kEnglishCatalogue)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
      qWarning("The English catalogue %s is missing; the window stays Chinese",
               qPrintable(kEnglishCatalogue));
    }
    return;
  }
  if (!LoadQtTranslations(application, QStringLiteral("zh_CN"))) {
    qWarning("Qt's Chinese translations were not all found; Qt's own texts stay English");
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
