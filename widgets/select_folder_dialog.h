#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <stdexcept>

#include "widgets/shell_locator.h"
#include "widgets/shell_options.h"
#include "widgets/status_types.h"

namespace mevra::widgets {

class SelectFolderForm;

// Raised when the dialog is asked to run while it already runs.
class SelectFolderDialogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FormPosition { poDesigned, poDefault, poScreenCenter, poOwnerFormCenter };
enum class FormWindowState { wsNormal, wsMinimized, wsMaximized };

// The folder selection dialog as a component: it lives as long as its owner, creates its window
// for each Execute, and remembers the chosen item, the window's bounds and its state between
// calls (nothing is written to disk).
class SelectFolderDialog : public QObject {
  Q_OBJECT

 public:
  static inline const SelectFolderDialogOptions kDefaultOptions =
      SelectFolderDialogOption::sfdoContextMenus | SelectFolderDialogOption::sfdoCreateFolderIcon |
      SelectFolderDialogOption::sfdoDeleteFolderIcon | SelectFolderDialogOption::sfdoShowHidden;

  // A widget parent also owns the dialog's window while it is shown.
  explicit SelectFolderDialog(QObject* parent = nullptr);
  ~SelectFolderDialog() override;

  virtual QString ClassName() const { return QStringLiteral("SelectFolderDialog"); }

  // Shows the window modally. True when closed with OK; SelectedFolder then holds the chosen
  // item. Otherwise SelectedFolder is unchanged, but the size and state are still remembered.
  bool Execute();
  bool Executing() const { return executing_; }

  ShellLocator& SelectedFolder() { return selected_folder_; }
  const ShellLocator& BaseFolder() const { return base_folder_; }
  void SetBaseFolder(const ShellLocator& base) { base_folder_ = base; }

  QString Title() const { return title_; }
  void SetTitle(const QString& title) { title_ = title; }
  SelectFolderDialogOptions Options() const { return options_; }
  void SetOptions(SelectFolderDialogOptions options) { options_ = options; }
  // The status line's text until the first selection.
  QString Status() const { return status_; }
  void SetStatus(const QString& status) { status_ = status; }

  FormPosition GetFormPosition() const { return form_position_; }
  void SetFormPosition(FormPosition position) { form_position_ = position; }
  // Remembered bounds: width and height apply when positive, left and top only with poDesigned.
  int FormLeft() const { return form_left_; }
  int FormTop() const { return form_top_; }
  int FormWidth() const { return form_width_; }
  int FormHeight() const { return form_height_; }
  void SetFormLeft(int v) { form_left_ = v; }
  void SetFormTop(int v) { form_top_ = v; }
  void SetFormWidth(int v) { form_width_ = v; }
  void SetFormHeight(int v) { form_height_ = v; }
  FormWindowState GetFormWindowState() const { return form_window_state_; }
  void SetFormWindowState(FormWindowState state) { form_window_state_ = state; }

  // The look of the tool buttons and of the status line; gradient colours have no visible
  // effect while the visual style is vsWinXP.
  GradientColorStyle ToolBtnGradientColorStyle() const { return tool_btn_gradient_; }
  void SetToolBtnGradientColorStyle(GradientColorStyle style) { tool_btn_gradient_ = style; }
  VisualStyle ToolBtnVisualStyle() const { return tool_btn_visual_style_; }
  void SetToolBtnVisualStyle(VisualStyle style) { tool_btn_visual_style_ = style; }

  std::function<bool(const ShellLocator&)> OnAddItem;
  std::function<void(const ShellLocator&)> OnSelChange;
  std::function<void(SelectFolderForm&)> OnFormShow;
  std::function<void(SelectFolderForm&)> OnFormClose;
  std::function<void(SelectFolderDialog&, SelectFolderForm&)> OnInitialized;

 private:
  void Configure(SelectFolderForm& form);

  ShellLocator selected_folder_;
  ShellLocator base_folder_;
  QString title_;
  SelectFolderDialogOptions options_ = kDefaultOptions;
  QString status_;
  FormPosition form_position_ = FormPosition::poScreenCenter;
  int form_left_ = -1;
  int form_top_ = -1;
  int form_width_ = -1;
  int form_height_ = -1;
  FormWindowState form_window_state_ = FormWindowState::wsNormal;
  GradientColorStyle tool_btn_gradient_ = GradientColorStyle::gcsSystem;
  VisualStyle tool_btn_visual_style_ = VisualStyle::vsWinXP;
  bool executing_ = false;
  SelectFolderForm* form_ = nullptr;
};

}  // namespace mevra::widgets
