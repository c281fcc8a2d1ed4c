#pragma once

#include <QCoreApplication>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QWidget;

namespace mevra::browser {
class BrowserControl;
}
namespace mevra::widgets {
class ProgressStatus;
class SelectFolderDialog;
class StatusBar;
class StatusPane;
}  // namespace mevra::widgets

namespace mevra::app {

// The main window's controls under the names of the window's design, built with their captions,
// places and initial states. The window holds one privately, as a form holds its generated ui
// object; the controls belong to the window's widget tree, this only points at them.
struct MainWindowUi {
  Q_DECLARE_TR_FUNCTIONS(MainWindowUi)

 public:
  // Builds every control inside `window`, the song list over `songs`, sizes the window and
  // centres it on its screen.
  void SetupUi(QWidget* window, QAbstractItemModel* songs);
  // Keeps the controls below the song list at their distance from the bottom edge when the
  // control panel grows; the song list takes the extra height.
  void LayOutBottomControls();

  widgets::StatusBar* stsbr1 = nullptr;
  widgets::StatusPane* stspn_info = nullptr;
  widgets::ProgressStatus* prgrsts_downloadpg = nullptr;
  QWidget* pnl_web = nullptr;
  browser::BrowserControl* web1 = nullptr;
  browser::BrowserControl* web2 = nullptr;
  QLabel* pnl_logintip = nullptr;
  QWidget* pnl_down = nullptr;
  QLabel* lbl1 = nullptr;
  QListWidget* lst_song = nullptr;
  QPushButton* btn_down = nullptr;
  QPushButton* btn_stop = nullptr;
  QLabel* lbl3 = nullptr;
  QWidget* pnl1 = nullptr;
  QRadioButton* rb1 = nullptr;
  QRadioButton* rb2 = nullptr;
  QRadioButton* rb3 = nullptr;
  QRadioButton* rb_128k = nullptr;
  QRadioButton* rb_192k = nullptr;
  QRadioButton* rb_320k = nullptr;
  QLabel* lbl2 = nullptr;
  QLineEdit* edt_saveto = nullptr;
  QPushButton* btn_openpath = nullptr;
  QCheckBox* chk_isFileterSize = nullptr;
  QComboBox* cbb_minsize = nullptr;
  QPushButton* btn_selectAll = nullptr;
  QPushButton* btn_ReSelect = nullptr;
  QPushButton* btn_NotSelect = nullptr;
  QPushButton* btn_clear = nullptr;
  QLineEdit* edt_search = nullptr;
  QPushButton* btn_search = nullptr;
  QTableView* lv_songs = nullptr;
  QPushButton* btn_listen = nullptr;
  QPushButton* btn_listenstop = nullptr;
  QPushButton* btn_settings = nullptr;
  QPushButton* btn_history = nullptr;
  QLabel* lbl_web = nullptr;
  QLabel* lbl_weibo = nullptr;
  QPushButton* btn_CheckUpdate = nullptr;
  QLabel* pnl_info = nullptr;
  QPushButton* btn_processSong = nullptr;
  QPlainTextEdit* mmo_log = nullptr;
  widgets::SelectFolderDialog* slctfldrdlg1 = nullptr;

 private:
  void BuildRightPanel(QAbstractItemModel* songs);
  // Narrows the size box to the room the caption's blanks leave in the font in use.
  void FitCaptionAroundSizeBox();
};

}  // namespace mevra::app
