#include "widgets/select_folder_form.h"

#include <sys/stat.h>

#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <cerrno>
#include <cstring>

#include "widgets/message_presenter.h"
#include "widgets/shell_tree.h"
#include "widgets/shorten_path.h"
#include "widgets/status_bar.h"

namespace mevra::widgets {
namespace {

const char kDefaultCaption[] = "Browse for Folder";
constexpr int kMargin = 8;
constexpr int kToolButtonTop = 4;
constexpr int kToolButtonHeight = 24;
constexpr int kTreeGap = 4;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonTop = 2;
// The status text keeps this much room to the bar's right edge (the size grip sits there).
constexpr int kStatusRightRoom = 20;

}  // namespace

SelectFolderForm::SelectFolderForm(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(kMinWidth, kMinHeight);

  btn_new_folder_ = new QToolButton(this);
  btn_new_folder_->setText(tr("Create Folder"));
  btn_new_folder_->setToolTip(tr("Create Folder"));
  btn_new_folder_->setGeometry(kMargin, kToolButtonTop, 121, kToolButtonHeight);
  btn_delete_folder_ = new QToolButton(this);
  btn_delete_folder_->setText(tr("&Delete"));
  btn_delete_folder_->setGeometry(137, kToolButtonTop, 92, kToolButtonHeight);
  connect(btn_new_folder_, &QToolButton::clicked, this, [this] { CreateBtnClick(); });
  connect(btn_delete_folder_, &QToolButton::clicked, this, [this] { DeleteBtnClick(); });

  tree_ = new ShellTree(this);
  tree_->OnChange = [this](QTreeWidgetItem* node) { ShellTreeChange(node); };

  button_panel_ = new QWidget(this);
  btn_ok_ = new QPushButton(tr("OK"), button_panel_);
  btn_ok_->setDefault(true);
  btn_ok_->setAutoDefault(true);
  btn_cancel_ = new QPushButton(tr("Cancel"), button_panel_);
  btn_cancel_->setAutoDefault(false);
  connect(btn_ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btn_cancel_, &QPushButton::clicked, this, &QDialog::reject);

  // Created last so that it docks below the button panel as the lowest control.
  status_bar_ = new StatusBar(this);
  status_bar_->SetSimpleStatus(true);
  status_bar_->SetSimpleFrameStyle(FrameStyle::fsNone);

  ApplyOptions({});
  LayoutControls();
}

void SelectFolderForm::ApplyOptions(SelectFolderDialogOptions options) {
  using O = SelectFolderDialogOption;
  const bool buttons = options.testFlag(O::sfdoCreateDeleteButtons);
  btn_new_folder_->setVisible(buttons);
  btn_delete_folder_->setVisible(buttons);
  const bool create_icon = options.testFlag(O::sfdoCreateFolderIcon);
  const bool delete_icon = options.testFlag(O::sfdoDeleteFolderIcon);
  btn_new_folder_->setIcon(create_icon ? style()->standardIcon(QStyle::SP_FileDialogNewFolder)
                                       : QIcon());
  btn_delete_folder_->setIcon(delete_icon ? style()->standardIcon(QStyle::SP_TrashIcon) : QIcon());
  for (QToolButton* button : {btn_new_folder_, btn_delete_folder_}) {
    button->setToolButtonStyle(button->icon().isNull() ? Qt::ToolButtonTextOnly
                                                       : Qt::ToolButtonTextBesideIcon);
    // Buttons without both icons are drawn raised, so they still read as buttons.
    button->setAutoRaise(create_icon && delete_icon);
  }
  ShellTreeOptions tree_options;
  if (options.testFlag(O::sfdoContextMenus)) tree_options |= ShellTreeOption::stoContextMenus;
  if (options.testFlag(O::sfdoIncludeNonFolders)) {
    tree_options |= ShellTreeOption::stoIncludeNonFolders;
  }
  if (options.testFlag(O::sfdoOleDrag)) tree_options |= ShellTreeOption::stoOleDrag;
  if (options.testFlag(O::sfdoOleDrop)) tree_options |= ShellTreeOption::stoOleDrop;
  if (options.testFlag(O::sfdoVirtualFolders)) tree_options |= ShellTreeOption::stoVirtualFolders;
  if (options.testFlag(O::sfdoShowHidden)) tree_options |= ShellTreeOption::stoShowHidden;
  tree_->SetOptions(tree_options);
  tree_->SetReadOnly(options.testFlag(O::sfdoReadOnly));
  LayoutControls();
}

void SelectFolderForm::SetStatusText(const QString& text) {
  status_path_ = text;
  UpdateStatusText();
}

void SelectFolderForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  tree_->SetOptions(tree_->Options() | ShellTreeOption::stoAutoFill);
  btn_ok_->setText(tr("OK"));
  btn_cancel_->setText(tr("Cancel"));
  btn_new_folder_->setText(tr("Create Folder"));
  btn_delete_folder_->setText(tr("Delete"));
  if (windowTitle().isEmpty()) setWindowTitle(tr(kDefaultCaption));
  tree_->Fill();
  if (OnFormShow) OnFormShow(*this);
}

void SelectFolderForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (OnFormClose) OnFormClose(*this);
}

void SelectFolderForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayoutControls();
}

void SelectFolderForm::LayoutControls() {
  const int w = width();
  const int h = height();
  const int panel_top = h - status_bar_->height() - kButtonPanelHeight;
  button_panel_->setGeometry(0, panel_top, w, kButtonPanelHeight);
  const int cancel_left = w - kButtonWidth - kMargin;
  btn_cancel_->setGeometry(cancel_left, kButtonTop, kButtonWidth, kButtonHeight);
  btn_ok_->setGeometry(cancel_left - kButtonWidth - kMargin, kButtonTop, kButtonWidth,
                       kButtonHeight);
  int tree_top = kMargin;
  if (!btn_new_folder_->isHidden()) {
    tree_top = btn_new_folder_->geometry().bottom() + 1 + kTreeGap;
  } else if (!btn_delete_folder_->isHidden()) {
    tree_top = btn_delete_folder_->geometry().bottom() + 1 + kTreeGap;
  }
  // Qt sizes are client sizes: 16 here is the frame-inclusive "width - 24" of a 4-pixel border.
  tree_->setGeometry(kMargin, tree_top, w - 2 * kMargin, panel_top - kTreeGap - tree_top);
  UpdateStatusText();
}

void SelectFolderForm::UpdateStatusText() {
  const QFontMetrics metrics(font());
  const int room = status_bar_->width() - kStatusRightRoom;
  status_bar_->SetSimpleCaption(ShortenPath(status_path_, room, [&metrics](const QString& text) {
    return metrics.horizontalAdvance(text);
  }));
}

void SelectFolderForm::ShellTreeChange(QTreeWidgetItem* node) {
  const QString path = ShellTree::PathOf(node);
  SetStatusText(path);
  // Only a folder can hold a new folder; under a file every attempt would fail.
  btn_new_folder_->setEnabled(!path.isEmpty() && ShellTree::IsFolder(node));
  btn_delete_folder_->setEnabled(!path.isEmpty() && node != tree_->RootNode() &&
                                 tree_->CanDelete(node));
  if (OnSelChange) OnSelChange(ShellTree::LocatorOf(node));
}

QString SelectFolderForm::CreateFailureText(const QString& name, int error) {
  return tr("Unable to create the folder '%2'").arg(name) + QStringLiteral("\n\n") +
         QString::fromLocal8Bit(std::strerror(error));
}

QString SelectFolderForm::TryCreateSeries(const QString& directory, const QString& first,
                                          const std::function<QString(int)>& numbered,
                                          int& failure) {
  for (int i = 1; i <= kCreateAttempts; ++i) {
    const QString name = i == 1 ? first : numbered(i);
    if (::mkdir(QFile::encodeName(directory + name).constData(), 0777) == 0) return name;
    const int error = errno;
    if (error == EEXIST) continue;
    failure = error;
    MessagePresenter::Warning(this, windowTitle(), CreateFailureText(name, error));
    return {};
  }
  return {};
}

void SelectFolderForm::CreateBtnClick() {
  QTreeWidgetItem* node = tree_->currentItem();
  QString directory = ShellTree::PathOf(node);
  // An empty path would mean the process's working folder; the button is disabled then anyway.
  if (directory.isEmpty() || !ShellTree::IsFolder(node)) return;
  if (!directory.endsWith(QLatin1Char('/'))) directory += QLatin1Char('/');
  const QString new_folder = QStringLiteral("New Folder");
  // "Already exists" is the reason only when every name was taken; otherwise the last real
  // failure (no permission, folder gone) is what the user needs to know.
  int failure = EEXIST;
  QString created = TryCreateSeries(
      directory, new_folder, [&](int i) { return new_folder + QStringLiteral(" (%1)").arg(i); },
      failure);
  if (created.isEmpty()) {
    const QString fldr = QStringLiteral("fldr");
    created = TryCreateSeries(
        directory, fldr, [&](int i) { return fldr + QString::number(i); }, failure);
  }
  if (created.isEmpty()) {
    MessagePresenter::Warning(this, windowTitle(), CreateFailureText(new_folder, failure));
    return;
  }
  // mkdir has finished when it returns, so the tree can list the new folder at once.
  tree_->Refresh();
  tree_->EnsureEnumerated(node);
  node->setExpanded(true);
  QTreeWidgetItem* child = tree_->FindChild(node, created);
  if (!child) return;
  // The new folder is what the user is after: select it, so that the status line and OK give
  // it, then open its label for the name.
  tree_->setCurrentItem(child);
  tree_->StartRename(child);
}

void SelectFolderForm::DeleteBtnClick() {
  QTreeWidgetItem* node = tree_->currentItem();
  if (!node || node == tree_->RootNode()) return;
  tree_->DeleteNode(node);
  tree_->Refresh();
}

}  // namespace mevra::widgets
