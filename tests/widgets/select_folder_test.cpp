#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <vector>

#include "tests/widgets/qt_printers.h"
#include "widgets/message_presenter.h"
#include "widgets/select_folder_dialog.h"
#include "widgets/select_folder_form.h"
#include "widgets/shell_tree.h"
#include "widgets/status_bar.h"

namespace mevra::widgets {
namespace {

using O = SelectFolderDialogOption;
// The options the main window gives its dialog.
const SelectFolderDialogOptions kMainWindowOptions =
    O::sfdoCreateDeleteButtons | O::sfdoContextMenus | O::sfdoIncludeNonFolders |
    O::sfdoCreateFolderIcon | O::sfdoDeleteFolderIcon | O::sfdoShowHidden;

struct Message {
  QMessageBox::Icon icon;
  QString text;
};

// A home folder in a temporary directory with a desktop folder holding a few items; message
// boxes are answered by the test.
class FolderDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    saved_home_ = qgetenv("HOME");
    saved_config_ = qgetenv("XDG_CONFIG_HOME");
    saved_data_ = qgetenv("XDG_DATA_HOME");
    home_ = QDir::cleanPath(temp_.path());
    qputenv("HOME", home_.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home_ + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home_ + "/.local/share").toUtf8());
    desktop_ = home_ + "/Desktop";
    for (const char* dir :
         {".local/share", "Desktop/Music/Live", "Desktop/New Folder", "Desktop/.hidden",
          "Desktop/b", "Desktop/A", "Desktop/item10", "Desktop/item9",
          "Desktop/deep/very/long/folder/names/that/do/not/fit/the/status/line"}) {
      ASSERT_TRUE(QDir(home_).mkpath(dir));
    }
    for (const char* file : {"Desktop/notes.txt", "Desktop/.profile"}) {
      QFile f(home_ + "/" + file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    MessagePresenter::Set([this](QWidget*, QMessageBox::Icon icon, const QString&,
                                 const QString& text, QMessageBox::StandardButtons) {
      messages_.push_back({icon, text});
      return answer_;
    });
  }

  void TearDown() override {
    MessagePresenter::Set({});
    qputenv("HOME", saved_home_);
    qputenv("XDG_CONFIG_HOME", saved_config_);
    qputenv("XDG_DATA_HOME", saved_data_);
  }

  // A shown form with the main window's options, filled from the desktop root.
  std::unique_ptr<SelectFolderForm> ShowForm() {
    auto form = std::make_unique<SelectFolderForm>();
    form->ApplyOptions(kMainWindowOptions);
    form->show();
    return form;
  }

  // Runs Execute with `action` performed inside the modal loop; a window left open fails.
  static bool Run(SelectFolderDialog& dialog, std::function<void(SelectFolderForm&)> action) {
    dialog.OnFormShow = [action](SelectFolderForm& form) {
      QTimer::singleShot(0, &form, [&form, action] { action(form); });
      QTimer::singleShot(10000, &form, [&form] {
        ADD_FAILURE() << "the dialog was left open";
        form.reject();
      });
    };
    return dialog.Execute();
  }

  static QTreeWidgetItem* Child(ShellTree* tree, QTreeWidgetItem* parent, const QString& text) {
    tree->EnsureEnumerated(parent);
    return tree->FindChild(parent, text);
  }

  QTemporaryDir temp_;
  QByteArray saved_home_, saved_config_, saved_data_;
  QString home_;
  QString desktop_;
  std::vector<Message> messages_;
  QMessageBox::StandardButton answer_ = QMessageBox::Yes;
};

TEST_F(FolderDialogTest, OkAtOnceChoosesTheDesktopRoot) {
  SelectFolderDialog dialog;
  dialog.SetOptions(kMainWindowOptions);
  QString caption, status;
  bool create_enabled = false, delete_enabled = true;
  const bool ok = Run(dialog, [&](SelectFolderForm& form) {
    caption = form.windowTitle();
    status = form.StatusLine()->SimpleCaption();
    create_enabled = form.CreateButton()->isEnabled();
    delete_enabled = form.DeleteButton()->isEnabled();
    form.OkButton()->click();
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(dialog.SelectedFolder().PathName(), desktop_);
  EXPECT_EQ(caption, "Browse for Folder");
  EXPECT_EQ(status, desktop_);
  EXPECT_TRUE(create_enabled);
  EXPECT_FALSE(delete_enabled);
  EXPECT_FALSE(dialog.Executing());
}

TEST_F(FolderDialogTest, CancelKeepsTheSelectionButRemembersTheSize) {
  SelectFolderDialog dialog;
  dialog.SetOptions(kMainWindowOptions);
  dialog.SetTitle("Save songs to");
  dialog.SelectedFolder() = ShellLocator::FromPath(desktop_ + "/Music/Live");
  QString initial, caption;
  EXPECT_FALSE(Run(dialog, [&](SelectFolderForm& form) {
    caption = form.windowTitle();
    initial = ShellTree::PathOf(form.Tree()->currentItem());
    form.Tree()->setCurrentItem(form.Tree()->RootNode());
    form.resize(520, 430);
    form.CancelButton()->click();
  }));
  EXPECT_EQ(caption, "Save songs to");
  EXPECT_EQ(initial, desktop_ + "/Music/Live");
  EXPECT_EQ(dialog.SelectedFolder().PathName(), desktop_ + "/Music/Live");
  EXPECT_EQ(dialog.FormWidth(), 520);
  EXPECT_EQ(dialog.FormHeight(), 430);

  // Reopened at the remembered size with the kept selection; Escape cancels, Enter confirms.
  QSize size;
  EXPECT_FALSE(Run(dialog, [&](SelectFolderForm& form) {
    size = form.size();
    initial = ShellTree::PathOf(form.Tree()->currentItem());
    QTest::keyClick(&form, Qt::Key_Escape);
  }));
  EXPECT_EQ(size, QSize(520, 430));
  EXPECT_EQ(initial, desktop_ + "/Music/Live");
  EXPECT_TRUE(Run(dialog, [&](SelectFolderForm& form) {
    form.Tree()->setCurrentItem(form.Tree()->currentItem()->parent());
    QTest::keyClick(&form, Qt::Key_Return);
  }));
  EXPECT_EQ(dialog.SelectedFolder().PathName(), desktop_ + "/Music");
}

TEST_F(FolderDialogTest, ExecuteIsNotReentrant) {
  SelectFolderDialog dialog;
  std::string message;
  Run(dialog, [&](SelectFolderForm& form) {
    try {
      dialog.Execute();
    } catch (const SelectFolderDialogError& error) {
      message = error.what();
    }
    form.reject();
  });
  EXPECT_EQ(message, "SelectFolderDialog already executing");
}

TEST_F(FolderDialogTest, TreeListsHiddenItemsGhostedAndFilesAfterFolders) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  QTreeWidgetItem* root = tree->RootNode();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->text(0), "Desktop");
  EXPECT_EQ(tree->currentItem(), root);
  QStringList visible;
  for (int i = 0; i < root->childCount(); ++i) {
    QTreeWidgetItem* child = root->child(i);
    const bool hidden = child->text(0).startsWith('.');
    EXPECT_EQ(ShellTree::IsHidden(child), hidden) << child->text(0).toStdString();
    EXPECT_EQ(child->font(0).italic(), hidden) << child->text(0).toStdString();
    if (!hidden) visible << child->text(0);
  }
  EXPECT_TRUE(tree->FindChild(root, ".hidden"));
  EXPECT_TRUE(tree->FindChild(root, ".profile"));
  const QString home_name = QDir(home_).dirName();
  EXPECT_EQ(visible, QStringList({"Computer", home_name, "A", "b", "deep", "item9", "item10",
                                  "Music", "New Folder", "notes.txt"}));
  EXPECT_FALSE(ShellTree::IsFolder(tree->FindChild(root, "notes.txt")));
}

TEST_F(FolderDialogTest, FoldersAreListedOnExpansionAndRefreshFollowsTheDisk) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  QTreeWidgetItem* music = tree->FindChild(tree->RootNode(), "Music");
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(music->childCount(), 0);
  EXPECT_EQ(music->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  music->setExpanded(true);
  ASSERT_EQ(music->childCount(), 1);
  EXPECT_EQ(music->child(0)->text(0), "Live");

  tree->setCurrentItem(music->child(0));
  ASSERT_TRUE(QDir(desktop_).mkdir("Music/Studio"));
  ASSERT_TRUE(QDir(desktop_ + "/Music/Live").removeRecursively());
  ASSERT_TRUE(QDir(desktop_).rmdir("A"));
  tree->Refresh();
  ASSERT_EQ(music->childCount(), 1);
  EXPECT_EQ(music->child(0)->text(0), "Studio");
  EXPECT_FALSE(tree->FindChild(tree->RootNode(), "A"));
  // The selected node went away, so the selection moved to its parent.
  EXPECT_EQ(tree->currentItem(), music);
  EXPECT_EQ(form->StatusLine()->SimpleCaption(), desktop_ + "/Music");
}

TEST_F(FolderDialogTest, ComputerHasNoPathAndDisablesCreateAndDelete) {
  SelectFolderDialog dialog;
  dialog.SetOptions(kMainWindowOptions);
  bool create_enabled = true, delete_enabled = true;
  QString root_path, status;
  EXPECT_TRUE(Run(dialog, [&](SelectFolderForm& form) {
    ShellTree* tree = form.Tree();
    QTreeWidgetItem* computer = tree->FindChild(tree->RootNode(), "Computer");
    tree->setCurrentItem(computer);
    create_enabled = form.CreateButton()->isEnabled();
    delete_enabled = form.DeleteButton()->isEnabled();
    status = form.StatusLine()->SimpleCaption();
    root_path = ShellTree::PathOf(Child(tree, computer, "/"));
    form.OkButton()->click();
  }));
  EXPECT_FALSE(create_enabled);
  EXPECT_FALSE(delete_enabled);
  EXPECT_EQ(status, "");
  EXPECT_EQ(root_path, "/");
  EXPECT_TRUE(dialog.SelectedFolder().IsComputer());
  EXPECT_EQ(dialog.SelectedFolder().PathName(), "");

  // The chosen item is selected again next time, and a file's path is its own.
  QString reopened;
  EXPECT_TRUE(Run(dialog, [&](SelectFolderForm& form) {
    reopened = form.Tree()->currentItem()->text(0);
    form.Tree()->setCurrentItem(form.Tree()->FindChild(form.Tree()->RootNode(), "notes.txt"));
    form.OkButton()->click();
  }));
  EXPECT_EQ(reopened, "Computer");
  EXPECT_EQ(dialog.SelectedFolder().PathName(), desktop_ + "/notes.txt");
}

TEST_F(FolderDialogTest, CreateSkipsExistingNamesAndStartsEditingTheNewFolder) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  form->CreateBtnClick();
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(QFileInfo(desktop_ + "/New Folder (2)").isDir());
  QTreeWidgetItem* created = tree->FindChild(tree->RootNode(), "New Folder (2)");
  ASSERT_NE(created, nullptr);
  // The new node's label is open for editing; typing a name and pressing Enter renames it.
  auto* editor = tree->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "New Folder (2)");
  editor->setText("  Album  ");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // the delegate commits through a queued call
  EXPECT_TRUE(QFileInfo(desktop_ + "/Album").isDir());
  EXPECT_FALSE(QFileInfo::exists(desktop_ + "/New Folder (2)"));
  EXPECT_EQ(created->text(0), "Album");
  EXPECT_EQ(ShellTree::PathOf(created), desktop_ + "/Album");
}

TEST_F(FolderDialogTest, RenameRefusesExistingNamesAndSeparators) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  QTreeWidgetItem* music = tree->FindChild(tree->RootNode(), "Music");
  for (const char* name : {"b", "x/y", "..", "   "}) {
    EXPECT_FALSE(tree->RenameNode(music, name)) << name;
    EXPECT_EQ(music->text(0), "Music");
  }
  EXPECT_TRUE(QFileInfo(desktop_ + "/Music/Live").isDir());
  EXPECT_TRUE(QFileInfo(desktop_ + "/b").isDir());
  EXPECT_FALSE(tree->CanRename(tree->RootNode()));
  EXPECT_FALSE(tree->CanRename(tree->FindChild(tree->RootNode(), "Computer")));
}

TEST_F(FolderDialogTest, CreateFailuresWarnForEachSeries) {
  // mkdir below a regular file fails even for root, with "Not a directory".
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "notes.txt"));
  ASSERT_TRUE(form->CreateButton()->isEnabled());
  form->CreateBtnClick();
  const QString not_dir = QString::fromLocal8Bit(strerror(ENOTDIR));
  const QString exists = QString::fromLocal8Bit(strerror(EEXIST));
  ASSERT_EQ(messages_.size(), 3u);
  EXPECT_EQ(messages_[0].text, "Unable to create the folder 'New Folder'\n\n" + not_dir);
  EXPECT_EQ(messages_[1].text, "Unable to create the folder 'fldr'\n\n" + not_dir);
  EXPECT_EQ(messages_[2].text, "Unable to create the folder 'New Folder'\n\n" + exists);
  EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);

  // Every name of both series taken: only the final warning.
  messages_.clear();
  QDir music(desktop_ + "/Music");
  for (int i = 1; i <= SelectFolderForm::kCreateAttempts; ++i) {
    ASSERT_TRUE(music.mkdir(i == 1 ? "New Folder" : QString("New Folder (%1)").arg(i)));
    ASSERT_TRUE(music.mkdir(i == 1 ? "fldr" : QString("fldr%1").arg(i)));
  }
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "Music"));
  form->CreateBtnClick();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "Unable to create the folder 'New Folder'\n\n" + exists);
}

TEST_F(FolderDialogTest, DeleteMovesToTheTrashAfterConfirmation) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "Music"));
  EXPECT_TRUE(form->DeleteButton()->isEnabled());

  answer_ = QMessageBox::No;
  form->DeleteBtnClick();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].icon, QMessageBox::Question);
  EXPECT_TRUE(QFileInfo(desktop_ + "/Music").isDir());

  answer_ = QMessageBox::Yes;
  form->DeleteBtnClick();
  EXPECT_FALSE(QFileInfo::exists(desktop_ + "/Music"));
  EXPECT_TRUE(QFileInfo(home_ + "/.local/share/Trash/files/Music/Live").isDir());
  EXPECT_FALSE(tree->FindChild(tree->RootNode(), "Music"));
  EXPECT_EQ(tree->currentItem(), tree->RootNode());
}

TEST_F(FolderDialogTest, StatusLineShortensThePathForTheWidthAndKeepsTheMinimumSize) {
  auto form = ShowForm();
  const QString deep = desktop_ + "/deep/very/long/folder/names/that/do/not/fit/the/status/line";
  form->Tree()->SetSelectedFolder(ShellLocator::FromPath(deep));
  ASSERT_EQ(ShellTree::PathOf(form->Tree()->currentItem()), deep);
  const QString narrow = form->StatusLine()->SimpleCaption();
  EXPECT_TRUE(narrow.startsWith("/.../")) << narrow.toStdString();
  EXPECT_TRUE(narrow.endsWith("/status/line")) << narrow.toStdString();
  const QFontMetrics metrics(form->font());
  EXPECT_LE(metrics.horizontalAdvance(narrow), form->StatusLine()->width() - 20);

  form->resize(2000, 500);
  EXPECT_EQ(form->StatusLine()->SimpleCaption(), deep);

  form->resize(100, 100);
  EXPECT_EQ(form->size(), QSize(SelectFolderForm::kMinWidth, SelectFolderForm::kMinHeight));
  EXPECT_EQ(form->Tree()->geometry(), QRect(8, 32, SelectFolderForm::kMinWidth - 16,
                                            SelectFolderForm::kMinHeight - 19 - 29 - 4 - 32));
  EXPECT_EQ(form->CancelButton()->geometry().right(), SelectFolderForm::kMinWidth - 8 - 1);
}

}  // namespace
}  // namespace mevra::widgets
