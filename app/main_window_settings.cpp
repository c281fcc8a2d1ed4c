// config.ini: the user's choices, read at start-up and written at close, and the save folder.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <initializer_list>

#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "app/profile_file.h"
#include "app/program_paths.h"
#include "app/text_trim.h"
#include "download/download_archive.h"
#include "download/limits.h"
#include "download/rate_limiter.h"
#include "widgets/select_folder_dialog.h"

namespace mevra::app {
namespace {

const char kSection[] = "Config";

// Checks `chosen` and unchecks the others of its group; nullptr leaves none checked. An exclusive
// group refuses to have its checked button unchecked, so it is relaxed while this runs.
void CheckOnly(std::initializer_list<QRadioButton*> buttons, QRadioButton* chosen) {
  QButtonGroup* group = (*buttons.begin())->group();
  const bool exclusive = group != nullptr && group->exclusive();
  if (group) group->setExclusive(false);
  for (QRadioButton* button : buttons) button->setChecked(button == chosen);
  if (group) group->setExclusive(exclusive);
}

}  // namespace

void MainWindow::LoadSettings() {
  try {
    const std::string path = config_path_.toStdString();
    auto read = [&path](const char* key, const QString& default_value) {
      return QString::fromStdString(
          ProfileFile::ReadString(path, kSection, key, default_value.toStdString()));
    };
    // A text that is not a whole number reads as the default, as the key had been missing.
    auto read_integer = [&read](const char* key, int default_value) {
      bool ok = false;
      const int value = TrimText(read(key, QString::number(default_value))).toInt(&ok, 10);
      return ok ? value : default_value;
    };

    ui_.edt_saveto->setText(TrimText(read("SavePath", ProgramPaths::DefaultSaveFolder())));
    ui_.chk_isFileterSize->setChecked(TrimText(read("isFileterSize", QStringLiteral("0"))) ==
                                      QStringLiteral("1"));
    // A value that is not one of the items leaves the box without a selection and empty.
    ui_.cbb_minsize->setCurrentIndex(ui_.cbb_minsize->findText(
        TrimText(read("FileterSize", QStringLiteral("2"))), Qt::MatchExactly));

    const int song_bit = read_integer("SongBit", 320);
    CheckOnly({ui_.rb_128k, ui_.rb_192k, ui_.rb_320k}, song_bit == 128   ? ui_.rb_128k
                                                       : song_bit == 192 ? ui_.rb_192k
                                                       : song_bit == 320 ? ui_.rb_320k
                                                                         : nullptr);
    const int rename_type = read_integer("RenameType", 2);
    CheckOnly({ui_.rb1, ui_.rb2, ui_.rb3}, rename_type == 1   ? ui_.rb1
                                           : rename_type == 2 ? ui_.rb2
                                           : rename_type == 3 ? ui_.rb3
                                                              : nullptr);
    // The download preferences; a value that is no valid choice reads as its default.
    download_settings_ =
        DownloadSettings::Read([&read](const char* key) { return read(key, QString()); });
    rate_limiter_->SetBytesPerSecond(int64_t{download_settings_.speed_limit_kb} * 1024);
  } catch (...) {
    // Settings that cannot be read leave the controls as they are.
  }
}

void MainWindow::SaveSettings() {
  try {
    const std::string path = config_path_.toStdString();
    auto write = [&path](const char* key, const QString& value) {
      ProfileFile::WriteString(path, kSection, key, value.toStdString());
    };
    write("SavePath", TrimText(ui_.edt_saveto->text()));
    write("isFileterSize",
          ui_.chk_isFileterSize->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    write("SongBit", ui_.rb_128k->isChecked()   ? QStringLiteral("128")
                     : ui_.rb_192k->isChecked() ? QStringLiteral("192")
                                                : QStringLiteral("320"));
    write("FileterSize", TrimText(ui_.cbb_minsize->currentText()));
    write("RenameType", ui_.rb1->isChecked()   ? QStringLiteral("1")
                        : ui_.rb2->isChecked() ? QStringLiteral("2")
                                               : QStringLiteral("3"));
    download_settings_.Write(write);
  } catch (...) {
    // A file that cannot be written keeps what it had; closing goes on.
  }
}

QString MainWindow::ArchivePath() const {
  return QFileInfo(config_path_).dir().filePath(QStringLiteral("downloaded.txt"));
}

void MainWindow::btn_settingsClick() {
  download::DownloadArchive archive(ArchivePath());
  archive.Load();
  PreferencesDialog dialog(download_settings_, archive.Count(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  download_settings_ = dialog.Settings();
  // The speed limit holds for the transfers running now too.
  rate_limiter_->SetBytesPerSecond(int64_t{download_settings_.speed_limit_kb} * 1024);
  if (dialog.ArchiveClearRequested()) {
    QString error;
    if (!archive.Clear(&error)) {
      message_boxes_.Show(tr("无法清空下载记录：%1").arg(error), ApplicationTitle(),
                          MessageButtons::kOk, MessageIcon::kError);
    }
  }
}

void MainWindow::btn_openpathClick() {
  if (ui_.slctfldrdlg1->Execute())
    ui_.edt_saveto->setText(ui_.slctfldrdlg1->SelectedFolder().PathName());
}

}  // namespace mevra::app
