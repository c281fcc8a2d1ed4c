// config.ini: the user's choices, read at start-up and written at close, and the save folder.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <initializer_list>

#include "app/main_window.h"
#include "app/profile_file.h"
#include "app/program_paths.h"
#include "app/text_trim.h"
#include "download/limits.h"
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
    // Songs fetched at once; anything outside the range means the usual one at a time.
    const int parallel = read_integer("ParallelDownloads", download::kDefaultParallelDownloads);
    parallel_downloads_ = parallel >= 1 && parallel <= download::kMaxParallelDownloads
                              ? parallel
                              : download::kDefaultParallelDownloads;
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
    write("ParallelDownloads", QString::number(parallel_downloads_));
  } catch (...) {
    // A file that cannot be written keeps what it had; closing goes on.
  }
}

void MainWindow::btn_openpathClick() {
  if (ui_.slctfldrdlg1->Execute())
    ui_.edt_saveto->setText(ui_.slctfldrdlg1->SelectedFolder().PathName());
}

}  // namespace mevra::app
