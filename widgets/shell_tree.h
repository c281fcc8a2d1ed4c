#pragma once

#include <QTreeWidget>
#include <functional>

#include "widgets/shell_locator.h"
#include "widgets/shell_namespace.h"
#include "widgets/shell_options.h"

namespace mevra::widgets {

// A tree of the desktop-like namespace: filled from its root on demand, each folder listed the
// first time it is expanded, refreshed in place after changes, with renaming and deleting.
class ShellTree : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kIndent = 19;

  explicit ShellTree(QWidget* parent = nullptr);

  ShellTreeOptions Options() const { return options_; }
  void SetOptions(ShellTreeOptions options) { options_ = options; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  const ShellLocator& BaseFolder() const { return base_folder_; }
  void SetBaseFolder(const ShellLocator& base);

  // The location of the selected node; setting it selects the node when the tree is filled.
  const ShellLocator& SelectedFolder() const { return selected_folder_; }
  void SetSelectedFolder(const ShellLocator& locator);

  // Rebuilds the tree from its root and selects SelectedFolder (or the root).
  void Fill();
  // Lists every listed folder again, keeping unchanged nodes, and keeps the selection. Deferred
  // while a context menu is open or a label is being edited.
  void Refresh();

  QTreeWidgetItem* RootNode() const { return topLevelItem(0); }
  static ShellLocator LocatorOf(const QTreeWidgetItem* node);
  // The node's file-system path; empty for a node outside the file system.
  static QString PathOf(const QTreeWidgetItem* node);
  static bool IsHidden(const QTreeWidgetItem* node);
  static bool IsFolder(const QTreeWidgetItem* node);
  static bool IsFixed(const QTreeWidgetItem* node);

  // Lists the node's children if that has not happened yet.
  void EnsureEnumerated(QTreeWidgetItem* node);
  QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const QString& text) const;
  // Walks from the root to the location, expanding on the way, and selects the deepest node
  // reached; beeps when the location cannot be reached.
  QTreeWidgetItem* SelectLocator(const ShellLocator& locator);

  bool CanRename(const QTreeWidgetItem* node) const;
  bool CanDelete(const QTreeWidgetItem* node) const;
  // Starts in-place editing of the node's label.
  bool StartRename(QTreeWidgetItem* node);
  // Renames the node's item on disk; on failure the node keeps its text and a warning says why.
  bool RenameNode(QTreeWidgetItem* node, const QString& text);
  // Asks for confirmation and moves the item to the trash. Returns whether it is gone.
  bool DeleteNode(QTreeWidgetItem* node);

  // Fired for every item about to be listed; returning false leaves it out.
  std::function<bool(const ShellLocator&)> OnAddItem;
  // Fired when a label edit ends with text, before the rename; the handler may change the text.
  std::function<void(ShellTree&, QTreeWidgetItem*, QString&)> OnEdited;
  // Fired on every change of the selected node, except while the tree rebuilds itself.
  std::function<void(QTreeWidgetItem*)> OnChange;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  QTreeWidgetItem* NewNode(const ShellEntry& entry) const;
  void Enumerate(QTreeWidgetItem* node);
  void RefreshNode(QTreeWidgetItem* node, QTreeWidgetItem*& reselect);
  void CurrentChanged(QTreeWidgetItem* current);
  void Resort(QTreeWidgetItem* node);
  bool RefreshBlocked();
  void WarnRenameFailed(const QTreeWidgetItem* node, const QString& name, const QString& reason);
  ShellNamespace::Filter CurrentFilter() const;

  ShellTreeOptions options_;
  bool read_only_ = false;
  ShellLocator base_folder_;
  ShellLocator selected_folder_;
  int changes_suppressed_ = 0;
  bool refresh_deferred_ = false;
  bool menu_open_ = false;
  QTreeWidgetItem* editing_node_ = nullptr;
  QTreeWidgetItem* resort_after_edit_ = nullptr;
  QString pending_warning_;
};

}  // namespace mevra::widgets
