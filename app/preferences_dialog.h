#pragma once

#include <QDialog>
#include <functional>

#include "app/download_settings.h"
#include "download/file_naming.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace mevra::app {

// The dialog's controls, as the window's are kept: named, built once, owned by the dialog.
struct PreferencesControls {
  QSpinBox* spn_parallel = nullptr;
  QComboBox* cbb_existing = nullptr;  // in the order of download::ExistingFilePolicy
  QCheckBox* chk_archive = nullptr;
  QLabel* lbl_archive = nullptr;
  QPushButton* btn_cleararchive = nullptr;
  QSpinBox* spn_retries = nullptr;
  QSpinBox* spn_speedlimit = nullptr;
  QCheckBox* chk_tags = nullptr;
  QSpinBox* spn_stall = nullptr;
  QCheckBox* chk_embedcover = nullptr;
  QCheckBox* chk_savecover = nullptr;
  QComboBox* cbb_lyrics = nullptr;  // in the order of download::LyricsMode
  QCheckBox* chk_playlist = nullptr;
  QCheckBox* chk_library = nullptr;
  QCheckBox* chk_customname = nullptr;  // the fourth naming choice, 自定义
  QLineEdit* edt_template = nullptr;
  QLabel* lbl_templatepath = nullptr;  // the path the template gives, or why it gives none
  QComboBox* cbb_proxy = nullptr;      // system, none, the URL below
  QLineEdit* edt_proxy = nullptr;
  QPushButton* btn_proxytest = nullptr;
  QLabel* lbl_proxytest = nullptr;
  QPushButton* btn_ok = nullptr;
  QPushButton* btn_cancel = nullptr;
};

// The download preferences: songs at once, what to do with a song saved before, the archive of
// saved songs (and emptying it), retries, a speed limit, tags, the stall limit. Modal; OK keeps the
// choices for the caller to apply, Cancel keeps nothing, not even an emptied archive.
class PreferencesDialog : public QDialog {
  Q_OBJECT

 public:
  PreferencesDialog(const DownloadSettings& settings, int archived_songs,
                    QWidget* parent = nullptr);

  // The naming choice as the window has it, and what the template's result is shown for.
  void SetNaming(bool custom, const QString& save_folder, const download::TemplateValues& sample);
  // Whether the custom naming choice is to hold; the template itself is in Settings().
  bool CustomNaming() const;
  DownloadSettings Settings() const;
  // The user asked to empty the archive; done by the caller after OK.
  bool ArchiveClearRequested() const { return clear_archive_; }
  const PreferencesControls& Controls() const { return controls_; }

  // Runs when 测试 is pressed with the proxy setting as the dialog has it; returns what
  // happened, in the user's words.
  std::function<QString(const QString& setting)> OnProxyTest;

 private:
  void ShowArchiveCount(int songs);
  // Shows what the template gives and refuses OK for an invalid template that is chosen.
  void ShowTemplatePath();
  QString ProxySetting() const;
  void TestProxy();

  PreferencesControls controls_;
  bool clear_archive_ = false;
  QString save_folder_;
  download::TemplateValues sample_;
};

}  // namespace mevra::app
