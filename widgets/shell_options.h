#pragma once

#include <QFlags>

namespace mevra::widgets {

enum class ShellTreeOption {
  stoAutoFill = 0x001,
  stoVirtualFolders = 0x002,
  stoDesignInteractive = 0x004,
  stoDefaultKeyHandling = 0x008,
  stoContextMenus = 0x010,
  stoDynamicRefresh = 0x020,
  stoIncludeNonFolders = 0x040,
  stoOleDrag = 0x080,
  stoOleDrop = 0x100,
  stoShowHidden = 0x200,
};
Q_DECLARE_FLAGS(ShellTreeOptions, ShellTreeOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ShellTreeOptions)

enum class SelectFolderDialogOption {
  sfdoCreateDeleteButtons = 0x001,
  sfdoContextMenus = 0x002,
  sfdoReadOnly = 0x004,
  sfdoIncludeNonFolders = 0x008,
  sfdoOleDrag = 0x010,
  sfdoOleDrop = 0x020,
  sfdoCreateFolderIcon = 0x040,
  sfdoDeleteFolderIcon = 0x080,
  sfdoVirtualFolders = 0x100,
  sfdoShowHidden = 0x200,
};
Q_DECLARE_FLAGS(SelectFolderDialogOptions, SelectFolderDialogOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SelectFolderDialogOptions)

}  // namespace mevra::widgets
