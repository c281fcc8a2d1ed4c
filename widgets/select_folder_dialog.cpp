#include "widgets/select_folder_dialog.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "widgets/select_folder_form.h"
#include "widgets/shell_tree.h"
#include "widgets/status_bar.h"

namespace mevra::widgets {
namespace {

const char kDefaultCaption[] = "Browse for Folder";

}  // namespace

SelectFolderDialog::SelectFolderDialog(QObject* parent) : QObject(parent) {}

SelectFolderDialog::~SelectFolderDialog() = default;

bool SelectFolderDialog::Execute() {
  if (executing_) throw SelectFolderDialogError((ClassName() + " already executing").toStdString());
  executing_ = true;
  struct ClearFlag {
    bool& flag;
    ~ClearFlag() { flag = false; }
  } clear_flag{executing_};
  if (form_) throw SelectFolderDialogError("SelectFolderDialog form already active");

  // The hourglass shows while the window is built; the modal loop runs with the normal cursor.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct RestoreCursor {
    bool active = true;
    void Restore() {
      if (active) QApplication::restoreOverrideCursor();
      active = false;
    }
    ~RestoreCursor() { Restore(); }
  } cursor;

  auto form = std::make_unique<SelectFolderForm>(qobject_cast<QWidget*>(parent()));
  form_ = form.get();
  struct ForgetForm {
    SelectFolderForm*& form;
    ~ForgetForm() { form = nullptr; }
  } forget_form{form_};
  Configure(*form);
  if (OnInitialized) OnInitialized(*this, *form);
  cursor.Restore();

  const bool accepted = form->exec() == QDialog::Accepted;

  const QRect bounds = form->normalGeometry().isValid() ? form->normalGeometry() : form->geometry();
  form_left_ = bounds.x();
  form_top_ = bounds.y();
  form_width_ = bounds.width();
  form_height_ = bounds.height();
  if (form->isMaximized()) {
    form_window_state_ = FormWindowState::wsMaximized;
  } else if (form->isMinimized()) {
    form_window_state_ = FormWindowState::wsMinimized;
  } else {
    form_window_state_ = FormWindowState::wsNormal;
  }
  if (accepted) selected_folder_ = form->Tree()->SelectedFolder();
  return accepted;
}

void SelectFolderDialog::Configure(SelectFolderForm& form) {
  form.OnSelChange = OnSelChange;
  form.OnFormShow = OnFormShow;
  form.OnFormClose = OnFormClose;
  form.Tree()->OnAddItem = OnAddItem;
  form.SetStatusText(status_);

  if (form_width_ > 0 || form_height_ > 0) {
    form.resize(form_width_ > 0 ? form_width_ : form.width(),
                form_height_ > 0 ? form_height_ : form.height());
  }
  QWidget* owner = form.parentWidget();
  switch (form_position_) {
    case FormPosition::poDesigned:
      form.move(form_left_, form_top_);
      break;
    case FormPosition::poScreenCenter:
      if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = form.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form.move(frame.topLeft());
      }
      break;
    case FormPosition::poOwnerFormCenter:
      if (owner) {
        QRect frame = form.frameGeometry();
        frame.moveCenter(owner->window()->frameGeometry().center());
        form.move(frame.topLeft());
      }
      break;
    case FormPosition::poDefault:
      break;
  }
  // A dialog closed while minimized comes back normal: a modal window nobody can see would
  // block the program.
  if (form_window_state_ == FormWindowState::wsMaximized) form.setWindowState(Qt::WindowMaximized);

  form.ApplyOptions(options_);
  form.setWindowTitle(title_.isEmpty() ? tr(kDefaultCaption) : title_);
  form.StatusLine()->SetVisualStyle(tool_btn_visual_style_);
  form.Tree()->SetBaseFolder(base_folder_);
  form.Tree()->SetSelectedFolder(selected_folder_);
}

}  // namespace mevra::widgets
