#include "widgets/shell_tree.h"

#include <fcntl.h>
#include <stdio.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "widgets/message_presenter.h"

namespace mevra::widgets {
namespace {

enum Role {
  kKindRole = Qt::UserRole + 1,
  kPathRole,
  kSpecialRole,
  kFolderRole,
  kHiddenRole,
  kFixedRole,
  kEnumeratedRole,
};

// Shows the hourglass while the tree lists folders or rebuilds itself.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

class Suppress {
 public:
  explicit Suppress(int& counter) : counter_(counter) { ++counter_; }
  ~Suppress() { --counter_; }
  Suppress(const Suppress&) = delete;
  Suppress& operator=(const Suppress&) = delete;

 private:
  int& counter_;
};

ShellEntry EntryOf(const QTreeWidgetItem* node) {
  ShellEntry entry;
  entry.text = node->text(0);
  entry.locator = ShellTree::LocatorOf(node);
  entry.folder = node->data(0, kFolderRole).toBool();
  entry.hidden = node->data(0, kHiddenRole).toBool();
  entry.fixed = node->data(0, kFixedRole).toBool();
  return entry;
}

bool IsAncestorOrSelf(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node) {
  for (; node; node = node->parent()) {
    if (node == ancestor) return true;
  }
  return false;
}

// Gives a renamed node and everything below it the new path prefix.
void Repath(QTreeWidgetItem* node, const QString& old_prefix, const QString& new_prefix) {
  const QString path = node->data(0, kPathRole).toString();
  if (path == old_prefix || path.startsWith(old_prefix + '/')) {
    node->setData(0, kPathRole, new_prefix + path.mid(old_prefix.size()));
  }
  for (int i = 0; i < node->childCount(); ++i) Repath(node->child(i), old_prefix, new_prefix);
}

// Renames without replacing an item that already has the new name. Returns 0 or the error.
int RenameNoReplace(const QString& from, const QString& to) {
  const QByteArray a = QFile::encodeName(from);
  const QByteArray b = QFile::encodeName(to);
  if (renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without the no-replace flag: check first, which is the best they allow.
  if (QFileInfo::exists(to)) return EEXIST;
  return ::rename(a.constData(), b.constData()) == 0 ? 0 : errno;
}

}  // namespace

ShellTree::ShellTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setIndentation(kIndent);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* node) { EnsureEnumerated(node); });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { CurrentChanged(current); });
}

void ShellTree::SetBaseFolder(const ShellLocator& base) { base_folder_ = base; }

void ShellTree::SetSelectedFolder(const ShellLocator& locator) {
  selected_folder_ = locator;
  if (RootNode()) SelectLocator(locator);
}

ShellLocator ShellTree::LocatorOf(const QTreeWidgetItem* node) {
  if (!node) return {};
  switch (static_cast<ShellLocator::Kind>(node->data(0, kKindRole).toInt())) {
    case ShellLocator::Kind::kEmpty:
      return {};
    case ShellLocator::Kind::kPath:
      return ShellLocator::FromPath(node->data(0, kPathRole).toString());
    case ShellLocator::Kind::kSpecial:
      return ShellLocator::Special(static_cast<uint8_t>(node->data(0, kSpecialRole).toInt()));
  }
  return {};
}

QString ShellTree::PathOf(const QTreeWidgetItem* node) {
  return node ? LocatorOf(node).PathName() : QString();
}

bool ShellTree::IsHidden(const QTreeWidgetItem* node) {
  return node && node->data(0, kHiddenRole).toBool();
}
bool ShellTree::IsFolder(const QTreeWidgetItem* node) {
  return node && node->data(0, kFolderRole).toBool();
}
bool ShellTree::IsFixed(const QTreeWidgetItem* node) {
  return node && node->data(0, kFixedRole).toBool();
}

ShellNamespace::Filter ShellTree::CurrentFilter() const {
  ShellNamespace::Filter filter;
  filter.include_non_folders = options_.testFlag(ShellTreeOption::stoIncludeNonFolders);
  filter.show_hidden = options_.testFlag(ShellTreeOption::stoShowHidden);
  return filter;
}

QTreeWidgetItem* ShellTree::NewNode(const ShellEntry& entry) const {
  auto* node = new QTreeWidgetItem();
  node->setText(0, entry.text);
  node->setData(0, kKindRole, static_cast<int>(entry.locator.GetKind()));
  node->setData(0, kPathRole, entry.locator.Path());
  node->setData(0, kSpecialRole, entry.locator.SpecialFolder());
  node->setData(0, kFolderRole, entry.folder);
  node->setData(0, kHiddenRole, entry.hidden);
  node->setData(0, kFixedRole, entry.fixed);
  node->setData(0, kEnumeratedRole, false);
  QStyle::StandardPixmap icon = entry.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon;
  if (entry.locator.IsComputer()) icon = QStyle::SP_ComputerIcon;
  if (entry.locator.IsEmpty()) icon = QStyle::SP_DesktopIcon;
  if (entry.fixed && entry.locator.Path() == QDir::cleanPath(QDir::homePath())) {
    icon = QStyle::SP_DirHomeIcon;
  }
  if (entry.link) icon = entry.folder ? QStyle::SP_DirLinkIcon : QStyle::SP_FileLinkIcon;
  node->setIcon(0, style()->standardIcon(icon));
  if (entry.hidden) {
    // Hidden items are ghosted: greyed and slanted, as file managers show them.
    QFont font = node->font(0);
    font.setItalic(true);
    node->setFont(0, font);
    node->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
  }
  bool expandable = entry.folder;
  if (expandable && !CurrentFilter().include_non_folders && !entry.locator.IsComputer() &&
      !entry.locator.IsEmpty()) {
    expandable =
        ShellNamespace::HasSubfolders(entry.locator.PathName(), CurrentFilter().show_hidden);
  }
  node->setChildIndicatorPolicy(expandable ? QTreeWidgetItem::ShowIndicator
                                           : QTreeWidgetItem::DontShowIndicator);
  return node;
}

void ShellTree::Fill() {
  if (RefreshBlocked()) return;
  WaitCursor wait;
  {
    Suppress suppress(changes_suppressed_);
    setCurrentItem(nullptr);
    clear();
    QTreeWidgetItem* root = NewNode(ShellNamespace::Root(base_folder_));
    addTopLevelItem(root);
    Enumerate(root);
    root->setExpanded(true);
  }
  if (!selected_folder_.IsEmpty()) {
    SelectLocator(selected_folder_);
  } else {
    setCurrentItem(RootNode());
  }
}

void ShellTree::EnsureEnumerated(QTreeWidgetItem* node) {
  if (!node || node->data(0, kEnumeratedRole).toBool()) return;
  WaitCursor wait;
  Enumerate(node);
}

void ShellTree::Enumerate(QTreeWidgetItem* node) {
  bool ok = true;
  const auto entries = ShellNamespace::Children(LocatorOf(node), CurrentFilter(), &ok);
  if (!ok) {
    // The folder could not be listed now; keep the button so that a later expansion retries.
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return;
  }
  QList<QTreeWidgetItem*> children;
  for (const ShellEntry& entry : entries) {
    if (OnAddItem && !OnAddItem(entry.locator)) continue;
    children.append(NewNode(entry));
  }
  node->addChildren(children);
  node->setData(0, kEnumeratedRole, true);
  if (children.isEmpty()) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* ShellTree::FindChild(QTreeWidgetItem* parent, const QString& text) const {
  if (!parent) return nullptr;
  for (int i = 0; i < parent->childCount(); ++i) {
    if (parent->child(i)->text(0) == text) return parent->child(i);
  }
  return nullptr;
}

QTreeWidgetItem* ShellTree::SelectLocator(const ShellLocator& locator) {
  QTreeWidgetItem* root = RootNode();
  if (!root) return nullptr;
  const bool updates = updatesEnabled();
  setUpdatesEnabled(false);
  QTreeWidgetItem* deepest = root;
  if (!locator.IsEmpty() && !(LocatorOf(root) == locator)) {
    // Start from the node whose path is the longest prefix of the target: the root, the home
    // folder, or "/" and the volumes below "Computer".
    std::vector<QTreeWidgetItem*> anchors = {root};
    EnsureEnumerated(root);
    for (int i = 0; i < root->childCount(); ++i) {
      QTreeWidgetItem* child = root->child(i);
      if (!IsFixed(child)) continue;
      anchors.push_back(child);
      if (LocatorOf(child).IsComputer()) {
        if (locator.IsComputer()) anchors.back() = child;
        EnsureEnumerated(child);
        for (int j = 0; j < child->childCount(); ++j) anchors.push_back(child->child(j));
      }
    }
    const QString target = locator.PathName();
    QTreeWidgetItem* start = nullptr;
    qsizetype best = -1;
    for (QTreeWidgetItem* anchor : anchors) {
      if (locator.IsComputer() && LocatorOf(anchor).IsComputer()) {
        start = anchor;
        break;
      }
      const QString base = PathOf(anchor);
      if (base.isEmpty() || target.isEmpty()) continue;
      const bool inside = target == base || base == QLatin1String("/") ||
                          target.startsWith(base + QLatin1Char('/'));
      if (inside && base.size() > best) {
        best = base.size();
        start = anchor;
      }
    }
    if (!start) {
      QApplication::beep();
    } else {
      deepest = start;
      QString walked = PathOf(start);
      const QString rest = target.mid(walked.size());
      const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
      for (const QString& part : parts) {
        EnsureEnumerated(deepest);
        deepest->setExpanded(true);
        walked = walked == QLatin1String("/") ? walked + part : walked + '/' + part;
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < deepest->childCount(); ++i) {
          if (PathOf(deepest->child(i)) == walked) next = deepest->child(i);
        }
        if (!next && QFileInfo::exists(walked) &&
            (!OnAddItem || OnAddItem(ShellLocator::FromPath(walked)))) {
          // An item the listing left out (for example a hidden one): add it so it can be shown.
          ShellEntry entry;
          const QFileInfo info(walked);
          entry.text = info.fileName();
          entry.locator = ShellLocator::FromPath(walked);
          entry.folder = info.isDir();
          entry.hidden = info.isHidden();
          next = NewNode(entry);
          deepest->addChild(next);
        }
        if (!next) {
          QApplication::beep();
          break;
        }
        deepest = next;
      }
      for (QTreeWidgetItem* up = deepest->parent(); up; up = up->parent()) up->setExpanded(true);
    }
  }
  setUpdatesEnabled(updates);
  setCurrentItem(deepest);
  scrollToItem(deepest);
  return deepest;
}

void ShellTree::CurrentChanged(QTreeWidgetItem* current) {
  if (changes_suppressed_ > 0 || !current) return;
  selected_folder_ = LocatorOf(current);
  if (OnChange) OnChange(current);
}

bool ShellTree::RefreshBlocked() {
  if (menu_open_ || editing_node_) {
    refresh_deferred_ = true;
    return true;
  }
  return false;
}

void ShellTree::Refresh() {
  if (RefreshBlocked()) return;
  refresh_deferred_ = false;
  QTreeWidgetItem* root = RootNode();
  if (!root) {
    Fill();
    return;
  }
  WaitCursor wait;
  QTreeWidgetItem* previous = currentItem();
  QTreeWidgetItem* reselect = previous;
  {
    Suppress suppress(changes_suppressed_);
    RefreshNode(root, reselect);
  }
  if (reselect == previous && currentItem() == previous) return;
  // The old selection went away: select the nearest remaining ancestor and report the change,
  // which Qt's own reselection during the rebuild did not.
  {
    Suppress suppress(changes_suppressed_);
    setCurrentItem(reselect ? reselect : root);
  }
  CurrentChanged(currentItem());
}

void ShellTree::RefreshNode(QTreeWidgetItem* node, QTreeWidgetItem*& reselect) {
  if (!node->data(0, kEnumeratedRole).toBool()) return;
  bool ok = true;
  auto entries = ShellNamespace::Children(LocatorOf(node), CurrentFilter(), &ok);
  if (!ok) return;
  std::map<QString, const ShellEntry*> wanted;
  for (const ShellEntry& entry : entries) wanted[entry.locator.Key()] = &entry;
  for (int i = node->childCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* child = node->child(i);
    if (wanted.count(LocatorOf(child).Key())) continue;
    if (IsAncestorOrSelf(child, reselect)) reselect = node;
    delete node->takeChild(i);
  }
  // The remaining children are in order; new ones go where their entry stands.
  int index = 0;
  for (const ShellEntry& entry : entries) {
    QTreeWidgetItem* at = index < node->childCount() ? node->child(index) : nullptr;
    if (at && LocatorOf(at).Key() == entry.locator.Key()) {
      ++index;
      continue;
    }
    bool present = false;
    for (int i = 0; i < node->childCount() && !present; ++i) {
      present = LocatorOf(node->child(i)).Key() == entry.locator.Key();
    }
    if (present) continue;
    if (OnAddItem && !OnAddItem(entry.locator)) continue;
    node->insertChild(index++, NewNode(entry));
  }
  Resort(node);
  node->setChildIndicatorPolicy(node->childCount() > 0 ? QTreeWidgetItem::ShowIndicator
                                                       : QTreeWidgetItem::DontShowIndicator);
  for (int i = 0; i < node->childCount(); ++i) RefreshNode(node->child(i), reselect);
}

void ShellTree::Resort(QTreeWidgetItem* node) {
  // Insertion sort on the tree itself: moving only misplaced nodes keeps the others' state.
  for (int i = 1; i < node->childCount(); ++i) {
    int j = i;
    const ShellEntry entry = EntryOf(node->child(i));
    while (j > 0 && ShellNamespace::Less(entry, EntryOf(node->child(j - 1)))) --j;
    if (j == i) continue;
    QTreeWidgetItem* current = currentItem();
    QTreeWidgetItem* moved = node->child(i);
    const bool expanded = moved->isExpanded();
    {
      Suppress suppress(changes_suppressed_);
      node->takeChild(i);
      node->insertChild(j, moved);
      moved->setExpanded(expanded);
      if (current && IsAncestorOrSelf(moved, current)) setCurrentItem(current);
    }
  }
}

bool ShellTree::CanRename(const QTreeWidgetItem* node) const {
  return node && !read_only_ && node != RootNode() && !IsFixed(node) && !PathOf(node).isEmpty();
}

bool ShellTree::CanDelete(const QTreeWidgetItem* node) const {
  return node && node != RootNode() && !IsFixed(node) && !PathOf(node).isEmpty();
}

bool ShellTree::StartRename(QTreeWidgetItem* node) {
  if (!CanRename(node)) return false;
  scrollToItem(node);
  editing_node_ = node;
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  editItem(node, 0);
  return true;
}

void ShellTree::commitData(QWidget* editor) {
  // The text goes to the file system first; the node shows it only if the rename succeeds.
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (editing_node_ && line) RenameNode(editing_node_, line->text());
}

void ShellTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTreeWidgetItem* node = editing_node_;
  editing_node_ = nullptr;
  QTreeWidget::closeEditor(editor, hint);
  if (node) node->setFlags(node->flags() & ~Qt::ItemIsEditable);
  if (QTreeWidgetItem* parent = resort_after_edit_) {
    resort_after_edit_ = nullptr;
    Resort(parent);
  }
  if (refresh_deferred_) Refresh();
  if (!pending_warning_.isEmpty()) {
    const QString text = std::exchange(pending_warning_, QString());
    MessagePresenter::Warning(this, window()->windowTitle(), text);
  }
}

void ShellTree::WarnRenameFailed(const QTreeWidgetItem* node, const QString& name,
                                 const QString& reason) {
  const QString text = tr("Unable to rename '%1' to '%2'").arg(node->text(0), name) +
                       QStringLiteral("\n\n") + reason;
  // A message box would take the focus from an open label editor, which commits again; the
  // warning waits until the editor has closed.
  if (editing_node_) {
    pending_warning_ = text;
    return;
  }
  MessagePresenter::Warning(this, window()->windowTitle(), text);
}

bool ShellTree::RenameNode(QTreeWidgetItem* node, const QString& text) {
  QString name = text.trimmed();
  if (name.isEmpty()) return false;
  if (OnEdited) OnEdited(*this, node, name);
  const QString old_path = PathOf(node);
  if (read_only_ || old_path.isEmpty() || name == node->text(0)) return false;
  // A name is one component: separators would move the item elsewhere.
  if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
      name == QLatin1String("..")) {
    WarnRenameFailed(node, name, tr("A name cannot contain '/' or be '.' or '..'."));
    return false;
  }
  const QString new_path = QFileInfo(old_path).absolutePath() + '/' + name;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int error = RenameNoReplace(old_path, new_path);
  QApplication::restoreOverrideCursor();
  if (error != 0) {
    WarnRenameFailed(node, name, QString::fromLocal8Bit(std::strerror(error)));
    return false;
  }
  const QString cleaned = QDir::cleanPath(new_path);
  Repath(node, old_path, cleaned);
  node->setText(0, name);
  // The selection now has another path: everything that shows it follows.
  if (currentItem() && IsAncestorOrSelf(node, currentItem())) {
    selected_folder_ = LocatorOf(currentItem());
    CurrentChanged(currentItem());
  }
  // Moving a node while its editor is open would close the editor under Qt's feet.
  if (node == editing_node_) {
    resort_after_edit_ = node->parent();
  } else if (node->parent()) {
    Resort(node->parent());
  }
  return true;
}

bool ShellTree::DeleteNode(QTreeWidgetItem* node) {
  if (!CanDelete(node)) return false;
  const QString path = PathOf(node);
  const QString title = tr("Confirm Delete");
  if (!MessagePresenter::Confirm(
          this, title, tr("Are you sure you want to move '%1' to the trash?").arg(node->text(0)))) {
    return false;
  }
  if (QFile::moveToTrash(path)) return true;
  // Some file systems have no trash; deleting for good needs a second, explicit yes.
  if (!MessagePresenter::Confirm(
          this, title,
          tr("'%1' cannot be moved to the trash. Delete it permanently?").arg(node->text(0)))) {
    return false;
  }
  const QFileInfo info(path);
  const bool removed =
      info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
  if (!removed) {
    MessagePresenter::Warning(this, title, tr("Unable to delete '%1'.").arg(node->text(0)));
  }
  return removed;
}

void ShellTree::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* node = itemAt(event->pos());
  if (!options_.testFlag(ShellTreeOption::stoContextMenus) || !node || node == RootNode()) {
    return;
  }
  QMenu menu(this);
  QAction* rename = menu.addAction(tr("Rename"));
  rename->setEnabled(CanRename(node));
  QAction* remove = menu.addAction(tr("Delete"));
  remove->setEnabled(CanDelete(node));
  menu_open_ = true;
  QAction* chosen = menu.exec(event->globalPos());
  menu_open_ = false;
  if (chosen == rename) {
    StartRename(node);
  } else if (chosen == remove) {
    DeleteNode(node);
    refresh_deferred_ = true;
  }
  if (refresh_deferred_) Refresh();
}

}  // namespace mevra::widgets
