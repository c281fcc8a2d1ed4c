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

// The new folder becomes the selection at once, so the status line and OK follow it, and
// again once the typed name has renamed it.
TEST_F(FolderDialogTest, CreateSelectsTheNewFolderAndOkGivesItsTypedName) {
  SelectFolderDialog dialog;
  dialog.SetOptions(kMainWindowOptions);
  QString editing, created_path, status_after_create, status_after_rename;
  bool current_after_create = false;
  EXPECT_TRUE(Run(dialog, [&](SelectFolderForm& form) {
    ShellTree* tree = form.Tree();
    form.resize(1600, 400);  // wide enough for the whole path in the status line
    form.CreateBtnClick();
    QTreeWidgetItem* created = tree->FindChild(tree->RootNode(), "New Folder (2)");
    current_after_create = created && tree->currentItem() == created;
    status_after_create = form.StatusLine()->SimpleCaption();
    // The new node's label is open for editing; typing a name and pressing Enter renames it.
    if (auto* editor = tree->viewport()->findChild<QLineEdit*>()) {
      editing = editor->text();
      editor->setText("  Album  ");
      QTest::keyClick(editor, Qt::Key_Return);
      QApplication::processEvents();  // the delegate commits through a queued call
    }
    created_path = ShellTree::PathOf(created);
    status_after_rename = form.StatusLine()->SimpleCaption();
    form.OkButton()->click();
  }));
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(current_after_create);
  EXPECT_EQ(status_after_create, desktop_ + "/New Folder (2)");
  EXPECT_EQ(editing, "New Folder (2)");
  EXPECT_TRUE(QFileInfo(desktop_ + "/Album").isDir());
  EXPECT_FALSE(QFileInfo::exists(desktop_ + "/New Folder (2)"));
  EXPECT_EQ(created_path, desktop_ + "/Album");
  EXPECT_EQ(status_after_rename, desktop_ + "/Album");
  EXPECT_EQ(dialog.SelectedFolder().PathName(), desktop_ + "/Album");
}

// A refused rename keeps the node's text and says why; blank or unchanged names are no rename.
TEST_F(FolderDialogTest, FailedRenameKeepsTheNameAndWarnsWithTheReason) {
  const QString exists = QString::fromLocal8Bit(strerror(EEXIST));
  const QString gone = QString::fromLocal8Bit(strerror(ENOENT));
  const QString bad_name = "A name cannot contain '/' or be '.' or '..'.";
  const struct {
    const char* name;
    bool vanish;  // the folder is removed on disk before the rename
    QString reason;
  } cases[] = {
      {"b", false, exists}, {"x/y", false, bad_name}, {"..", false, bad_name},
      {"   ", false, ""},   {"Music", false, ""},     {"Songs", true, gone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    ASSERT_TRUE(QDir(desktop_).mkpath("Music/Live"));
    auto form = ShowForm();
    ShellTree* tree = form->Tree();
    QTreeWidgetItem* music = tree->FindChild(tree->RootNode(), "Music");
    ASSERT_NE(music, nullptr);
    if (c.vanish) {
      ASSERT_TRUE(QDir(desktop_ + "/Music").removeRecursively());
    }
    EXPECT_FALSE(tree->RenameNode(music, c.name));
    EXPECT_EQ(music->text(0), "Music");
    EXPECT_EQ(QFileInfo(desktop_ + "/Music/Live").isDir(), !c.vanish);
    EXPECT_TRUE(QFileInfo(desktop_ + "/b").isDir());
    if (c.reason.isEmpty()) {
      EXPECT_TRUE(messages_.empty());
      continue;
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages_[0].text,
              QString("Unable to rename 'Music' to '%1'\n\n").arg(c.name) + c.reason);
  }
  auto form = ShowForm();
  EXPECT_FALSE(form->Tree()->CanRename(form->Tree()->RootNode()));
  EXPECT_FALSE(
      form->Tree()->CanRename(form->Tree()->FindChild(form->Tree()->RootNode(), "Computer")));
}

// Typed into the label editor, a refused name warns once, after the editor has closed.
TEST_F(FolderDialogTest, RenameRefusedInTheEditorWarnsOnceAfterItCloses) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  QTreeWidgetItem* music = tree->FindChild(tree->RootNode(), "Music");
  ASSERT_TRUE(tree->StartRename(music));
  auto* editor = tree->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  bool editor_open_during_warning = true;
  MessagePresenter::Set([&](QWidget*, QMessageBox::Icon icon, const QString&, const QString& text,
                            QMessageBox::StandardButtons) {
    editor_open_during_warning = tree->viewport()->findChild<QLineEdit*>() != nullptr &&
                                 tree->viewport()->findChild<QLineEdit*>()->isVisible();
    messages_.push_back({icon, text});
    return QMessageBox::Ok;
  });
  editor->setText("b");
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(messages_.size()), 1, 10000);
  QApplication::processEvents();
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_FALSE(editor_open_during_warning);
  EXPECT_EQ(music->text(0), "Music");
  EXPECT_TRUE(QFileInfo(desktop_ + "/Music").isDir());
}

TEST_F(FolderDialogTest, CreateIsOnlyOfferedForFolders) {
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "notes.txt"));
  EXPECT_FALSE(form->CreateButton()->isEnabled());
  EXPECT_TRUE(form->DeleteButton()->isEnabled());
  form->CreateBtnClick();
  EXPECT_TRUE(messages_.empty());
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "Music"));
  EXPECT_TRUE(form->CreateButton()->isEnabled());
}

// Each series warns with the system's reason, and so does the final warning: "already exists"
// only when every name was taken.
TEST_F(FolderDialogTest, CreateFailuresWarnWithTheRealReason) {
  const struct {
    const char* name;
    std::function<bool(const QString&)> spoil;  // changes the selected folder on disk
    int error;
  } cases[] = {
      {"folder removed meanwhile", [](const QString& dir) { return QDir(dir).removeRecursively(); },
       ENOENT},
      {"folder replaced by a file",
       [](const QString& dir) {
         QFile file(dir);
         return QDir(dir).removeRecursively() && file.open(QIODevice::WriteOnly);
       },
       ENOTDIR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    const QString dir = desktop_ + "/Spoilt";
    QFile::remove(dir);
    ASSERT_TRUE(QDir(desktop_).mkpath("Spoilt"));
    auto form = ShowForm();
    ShellTree* tree = form->Tree();
    tree->setCurrentItem(tree->FindChild(tree->RootNode(), "Spoilt"));
    ASSERT_TRUE(form->CreateButton()->isEnabled());
    ASSERT_TRUE(c.spoil(dir));
    form->CreateBtnClick();
    const QString reason = QString::fromLocal8Bit(strerror(c.error));
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[0].text, "Unable to create the folder 'New Folder'\n\n" + reason);
    EXPECT_EQ(messages_[1].text, "Unable to create the folder 'fldr'\n\n" + reason);
    EXPECT_EQ(messages_[2].text, "Unable to create the folder 'New Folder'\n\n" + reason);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
  }

  // Every name of both series taken: only the final warning, which says so.
  messages_.clear();
  QDir music(desktop_ + "/Music");
  for (int i = 1; i <= SelectFolderForm::kCreateAttempts; ++i) {
    ASSERT_TRUE(music.mkdir(i == 1 ? "New Folder" : QString("New Folder (%1)").arg(i)));
    ASSERT_TRUE(music.mkdir(i == 1 ? "fldr" : QString("fldr%1").arg(i)));
  }
  auto form = ShowForm();
  ShellTree* tree = form->Tree();
  tree->setCurrentItem(tree->FindChild(tree->RootNode(), "Music"));
  form->CreateBtnClick();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "Unable to create the folder 'New Folder'\n\n" +
                                   QString::fromLocal8Bit(strerror(EEXIST)));
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
