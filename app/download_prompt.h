#pragma once

#include <QString>

class QWidget;

namespace mevra::app {

// The caption of the dialog that asks where a download of the browser goes.
QString DownloadPromptTitle();

// Asks where to save a file the browser downloads, starting in `folder` with `file_name`.
// Returns the chosen path, or "" when the user cancels.
QString AskDownloadPath(QWidget* parent, const QString& folder, const QString& file_name);

}  // namespace mevra::app
