#pragma once

#include <QString>
#include <optional>

class QCoreApplication;

namespace mevra::app {

// The languages the program's texts come in. Its texts are written in Chinese, the language
// they were designed in; English is a translation of them.
enum class Language { kChinese, kEnglish };

// The English catalogue, built from translations/ and carried inside the program.
inline const QString kEnglishCatalogue = QStringLiteral(":/i18n/MevraMP3Manager_en.qm");

// The language a name stands for: "zh_CN" (also "zh") or "en", in any case. Nothing for any
// other name.
std::optional<Language> LanguageNamed(const QString& name);

// The language the key "Language" of section "Config" in `config_path` asks for; Chinese when
// the key is missing, names no known language or the file cannot be read. The system's locale
// plays no part: the program speaks Chinese unless asked otherwise.
Language ConfiguredLanguage(const QString& config_path);

// What the program sets on its application object before the window is built: its name, the
// translation of its own texts and Qt's texts (standard buttons, edit menus, the browser's
// context menu) in the same language. No display name is set, since Qt appends one to every
// window title it hands to the window system, and the captions must read exactly as designed.
void SetUpApplication(QCoreApplication& application, Language language = Language::kChinese);

// Installs Qt's translations of its own texts for `language` (such as "zh_CN") from Qt's
// translations folder. Says whether every catalogue was found; without them Qt's texts stay
// English and the program runs on.
bool LoadQtTranslations(QCoreApplication& application, const QString& language);

}  // namespace mevra::app
