// config.ini: the user's choices, read at start-up and written at close, and the save folder.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <initializer_list>

#include "app/config_settings.h"
#include "app/direct_link_source.h"
#include "app/limits.h"
#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "app/profile_file.h"
#include "app/program_paths.h"
#include "app/program_proxy.h"
#include "app/song_list_model.h"
#include "app/text_trim.h"
#include "download/download_archive.h"
#include "download/file_naming.h"
#include "download/limits.h"
#include "download/rate_limiter.h"
#include "http/http_client.h"
#include "widgets/select_folder_dialog.h"

namespace mevra::app {
namespace {

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

ConfigSettings MainWindow::CurrentSettings() const {
  ConfigSettings settings;
  settings.save_path = TrimText(ui_.edt_saveto->text());
  settings.filter_small = ui_.chk_isFileterSize->isChecked();
  settings.filter_size = TrimText(ui_.cbb_minsize->currentText());
  settings.song_bit = ui_.rb_128k->isChecked() ? 128 : ui_.rb_192k->isChecked() ? 192 : 320;
  settings.rename_type = ui_.rb1->isChecked()   ? 1
                         : ui_.rb2->isChecked() ? 2
                         : ui_.rb3->isChecked() ? 3
                         : custom_naming_       ? 4
                                                : 3;
  settings.download = download_settings_;
  return settings;
}

void MainWindow::ShowSettings(const ConfigSettings& settings) {
  ui_.edt_saveto->setText(settings.save_path);
  ui_.chk_isFileterSize->setChecked(settings.filter_small);
  // A value that is not one of the items leaves the box without a selection and empty.
  ui_.cbb_minsize->setCurrentIndex(
      ui_.cbb_minsize->findText(settings.filter_size, Qt::MatchExactly));
  const int bit = settings.song_bit;
  CheckOnly({ui_.rb_128k, ui_.rb_192k, ui_.rb_320k}, bit == 128   ? ui_.rb_128k
                                                     : bit == 192 ? ui_.rb_192k
                                                     : bit == 320 ? ui_.rb_320k
                                                                  : nullptr);
  const int naming = settings.rename_type;
  custom_naming_ = naming == 4;
  CheckOnly({ui_.rb1, ui_.rb2, ui_.rb3}, naming == 1   ? ui_.rb1
                                         : naming == 2 ? ui_.rb2
                                         : naming == 3 ? ui_.rb3
                                                       : nullptr);
}

void MainWindow::LoadSettings() {
  // A file that cannot be read reads as a missing one: every choice at its default.
  const IniDocument ini =
      ProfileFile::ReadDocument(config_path_.toStdString()).value_or(IniDocument());
  const ConfigSettings settings = ConfigSettings::Read(ini, ProgramPaths::DefaultSaveFolder());
  ShowSettings(settings);
  download_settings_ = settings.download;
  direct_link_source_->SetDirect(download_settings_.direct_links);
  rate_limiter_->SetBytesPerSecond(int64_t{download_settings_.speed_limit_kb} * 1024);
  ApplyProxy();
}

void MainWindow::ApplyProxy() {
  ProgramProxy::Set(ProxyChoice::Read(download_settings_.proxy));
  ProgramProxy::ApplyTo(*http_update_);
}

void MainWindow::SaveSettings() {
  const std::string path = config_path_.toStdString();
  // A file that exists but cannot be read is not replaced; one that cannot be written keeps what
  // it had. Closing goes on either way.
  std::optional<IniDocument> ini = ProfileFile::ReadDocument(path);
  if (!ini) return;
  const std::string before = ini->Text();
  CurrentSettings().Write(*ini);
  if (ini->Text() != before || !QFileInfo::exists(config_path_)) {
    ProfileFile::WriteDocument(path, *ini);
  }
}

QString MainWindow::ArchivePath() const {
  return QFileInfo(config_path_).dir().filePath(QStringLiteral("downloaded.txt"));
}

void MainWindow::btn_settingsClick() {
  download::DownloadArchive archive(ArchivePath());
  archive.Load();
  PreferencesDialog dialog(download_settings_, archive.Count(), this);
  // The template's result is shown for the selected song, else the first one.
  const QModelIndexList selected = ui_.lv_songs->selectionModel()
                                       ? ui_.lv_songs->selectionModel()->selectedRows()
                                       : QModelIndexList();
  const int row = !selected.isEmpty() ? selected.first().row() : SongCount() > 0 ? 0 : -1;
  download::TemplateValues sample;
  if (row >= 0) {
    sample = {SongText(row, kColumnTitle), SongText(row, kColumnSinger), SongText(row, kColumnId),
              SelectedRateText(), songs_->Row(row).page};
  }
  dialog.SetNaming(SelectedNamingScheme() == download::NamingScheme::kTemplate,
                   ui_.edt_saveto->text().trimmed(), sample);
  dialog.OnProxyTest = [this](const QString& setting) {
    return TestProxySetting(setting, endpoints_.portal_home_url, endpoints_.ca_file,
                            kProxyTestTimeoutMs);
  };
  if (dialog.exec() != QDialog::Accepted) return;
  // The dialog does not offer every key; those it does not show (the link source, the
  // notification) stay as config.ini says.
  const bool direct_links = download_settings_.direct_links;
  const bool notify = download_settings_.notify;
  download_settings_ = dialog.Settings();
  download_settings_.direct_links = direct_links;
  download_settings_.notify = notify;
  if (dialog.CustomNaming()) {
    custom_naming_ = true;
    CheckOnly({ui_.rb1, ui_.rb2, ui_.rb3}, nullptr);
  } else if (SelectedNamingScheme() == download::NamingScheme::kTemplate) {
    custom_naming_ = false;
    CheckOnly({ui_.rb1, ui_.rb2, ui_.rb3}, ui_.rb2);
  }
  StartLibraryScan();
  // The speed limit holds for the transfers running now too.
  rate_limiter_->SetBytesPerSecond(int64_t{download_settings_.speed_limit_kb} * 1024);
  // Transfers started from now on take the new proxy; the browser's pages at the next start.
  ApplyProxy();
  if (dialog.ArchiveClearRequested()) {
    QString error;
    if (!archive.Clear(&error)) {
      message_boxes_.Show(tr("无法清空下载记录：%1").arg(error), ApplicationTitle(),
                          MessageButtons::kOk, MessageIcon::kError);
    }
  }
}

void MainWindow::btn_openpathClick() {
  if (ui_.slctfldrdlg1->Execute()) {
    ui_.edt_saveto->setText(ui_.slctfldrdlg1->SelectedFolder().PathName());
    StartLibraryScan();
  }
}

}  // namespace mevra::app
