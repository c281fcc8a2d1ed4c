#pragma once

#include <QString>

class QCoreApplication;

namespace mevra::app {

// The language of the window's texts; Qt's own texts (standard buttons, edit menus, the
// browser's context menu) are loaded to match it.
inline const QString kProgramLanguage = QStringLiteral("zh_CN");

// What the program sets on its application object before the window is built: its name and the
// language of Qt's own texts. No display name is set, since Qt appends one to every window
// title it hands to the window system, and the captions must read exactly as designed.
void SetUpApplication(QCoreApplication& application, const QString& language = kProgramLanguage);

// Installs Qt's translations of its own texts for `language` (such as "zh_CN") from Qt's
// translations folder. Says whether every catalogue was found; without them Qt's texts stay
// English and the program runs on.
bool LoadQtTranslations(QCoreApplication& application, const QString& language);

}  // namespace mevra::app
