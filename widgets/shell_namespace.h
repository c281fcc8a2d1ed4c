#pragma once

#include <QString>
#include <vector>

#include "widgets/shell_locator.h"

namespace mevra::widgets {

// One item of a folder in the tree's namespace.
struct ShellEntry {
  QString text;
  ShellLocator locator;
  bool folder = false;
  bool hidden = false;
  bool link = false;
  // Placed by the namespace itself (Computer, the home folder, "/" and the volumes): kept in
  // their given order ahead of the sorted items, never renamed or deleted from the tree.
  bool fixed = false;
};

// The namespace the folder tree shows: a desktop root whose children are "Computer" (with "/"
// and the mounted volumes below it), the home folder and the desktop folder's own items; below
// those, the file system.
class ShellNamespace {
 public:
  struct Filter {
    bool include_non_folders = false;
    bool show_hidden = false;
  };

  // The entry of a tree's root: the desktop for an empty base, else the base location.
  static ShellEntry Root(const ShellLocator& base);

  // The children of `parent`, sorted. `ok` is false when the folder cannot be listed.
  static std::vector<ShellEntry> Children(const ShellLocator& parent, const Filter& filter,
                                          bool* ok);

  // Whether a folder has a subfolder worth an expand button.
  static bool HasSubfolders(const QString& path, bool show_hidden);

  // True when `a` sorts before `b`: fixed entries first, then folders, then files, by name
  // without regard to case and with numbers compared by value.
  static bool Less(const ShellEntry& a, const ShellEntry& b);

  static QString ComputerText();
};

}  // namespace mevra::widgets
