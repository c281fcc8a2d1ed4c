#include "app/download_prompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>

namespace mevra::app {

QString DownloadPromptTitle() { return QCoreApplication::translate("DownloadPrompt", "另存为"); }

QString AskDownloadPath(QWidget* parent, const QString& folder, const QString& file_name) {
  QFileDialog dialog(parent, DownloadPromptTitle(), QDir(folder).filePath(file_name));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace mevra::app
