#pragma once

#include <QDialog>
#include <functional>

#include "widgets/shell_locator.h"
#include "widgets/shell_options.h"

class QPushButton;
class QToolButton;
class QTreeWidgetItem;

namespace mevra::widgets {

class ShellTree;
class StatusBar;

// The window of the folder dialog: the tree, "Create Folder" and "Delete" tool buttons, OK and
// Cancel, and a one-caption status line with the selected item's path.
class SelectFolderForm : public QDialog {
  Q_OBJECT

 public:
  // The window cannot be made smaller than this.
  static constexpr int kMinWidth = 366;
  static constexpr int kMinHeight = 340;
  static constexpr int kButtonPanelHeight = 29;
  // Create series: "New Folder", "New Folder (2)" ... "(50)", then "fldr", "fldr2" ... "fldr50".
  static constexpr int kCreateAttempts = 50;

  explicit SelectFolderForm(QWidget* parent = nullptr);

  ShellTree* Tree() const { return tree_; }
  QToolButton* CreateButton() const { return btn_new_folder_; }
  QToolButton* DeleteButton() const { return btn_delete_folder_; }
  QPushButton* OkButton() const { return btn_ok_; }
  QPushButton* CancelButton() const { return btn_cancel_; }
  StatusBar* StatusLine() const { return status_bar_; }
  QWidget* ButtonPanel() const { return button_panel_; }

  // Applies the dialog's options to the buttons and the tree.
  void ApplyOptions(SelectFolderDialogOptions options);
  void SetStatusText(const QString& text);

  // The handlers of the buttons and of the tree's selection.
  void CreateBtnClick();
  void DeleteBtnClick();
  void ShellTreeChange(QTreeWidgetItem* node);

  std::function<void(SelectFolderForm&)> OnFormShow;
  std::function<void(SelectFolderForm&)> OnFormClose;
  std::function<void(const ShellLocator&)> OnSelChange;

  // The text of the folder-creation warnings: "Unable to create the folder '<name>'", two line
  // breaks, then the system's text for the error.
  static QString CreateFailureText(const QString& name, int error);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayoutControls();
  void UpdateStatusText();
  // Tries one naming series; returns the created name, or empty after a warning or when every
  // name exists. A failure other than "already exists" is stored in `failure`.
  QString TryCreateSeries(const QString& directory, const QString& first,
                          const std::function<QString(int)>& numbered, int& failure);

  ShellTree* tree_;
  QToolButton* btn_new_folder_;
  QToolButton* btn_delete_folder_;
  QWidget* button_panel_;
  QPushButton* btn_ok_;
  QPushButton* btn_cancel_;
  StatusBar* status_bar_;
  QString status_path_;
  bool shown_once_ = false;
};

}  // namespace mevra::widgets
