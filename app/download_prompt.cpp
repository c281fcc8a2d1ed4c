#include "app/download_prompt.h"

#include <QDir>
#include <QFileDialog>

namespace mevra::app {

QString AskDownloadPath(QWidget* parent, const QString& folder, const QString& file_name) {
  QFileDialog dialog(parent, kDownloadPromptTitle, QDir(folder).filePath(file_name));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace mevra::app
