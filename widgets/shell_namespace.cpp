#include "widgets/shell_namespace.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <algorithm>

namespace mevra::widgets {
namespace {

QString NameOf(const QString& path) {
  if (path == QLatin1String("/")) return path;
  return QFileInfo(path).fileName();
}

const QCollator& NameCollator() {
  static const QCollator collator = [] {
    // The C locale compares plainly; names sort as a person reads them in any locale.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator c(locale);
    c.setCaseSensitivity(Qt::CaseInsensitive);
    c.setNumericMode(true);
    return c;
  }();
  return collator;
}

// Volumes worth listing under "Computer": mounted block devices other than "/", as desktop file
// managers show them; pseudo and system mounts stay out.
std::vector<ShellEntry> Volumes() {
  std::vector<ShellEntry> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString root = volume.rootPath();
    if (!volume.isValid() || !volume.isReady() || root == QLatin1String("/")) continue;
    if (!volume.device().startsWith("/dev/")) continue;
    if (root.startsWith("/proc") || root.startsWith("/sys") || root.startsWith("/dev") ||
        root.startsWith("/boot") || (root.startsWith("/run") && !root.startsWith("/run/media"))) {
      continue;
    }
    if (!QFileInfo(root).isDir()) continue;
    ShellEntry entry;
    entry.text = volume.name().isEmpty() ? root : volume.name() + " (" + root + ")";
    entry.locator = ShellLocator::FromPath(root);
    entry.folder = true;
    entry.fixed = true;
    volumes.push_back(entry);
  }
  return volumes;
}

std::vector<ShellEntry> Directory(const QString& path, const ShellNamespace::Filter& filter,
                                  bool* ok) {
  std::vector<ShellEntry> entries;
  QDir dir(path);
  if (!dir.exists() || !QFileInfo(path).isReadable()) {
    *ok = false;
    return entries;
  }
  QDir::Filters filters = QDir::Dirs | QDir::NoDotAndDotDot | QDir::System;
  if (filter.include_non_folders) filters |= QDir::Files;
  if (filter.show_hidden) filters |= QDir::Hidden;
  for (const QFileInfo& info : dir.entryInfoList(filters, QDir::NoSort)) {
    ShellEntry entry;
    entry.text = info.fileName();
    entry.locator = ShellLocator::FromPath(info.absoluteFilePath());
    entry.folder = info.isDir();
    // System entries include broken links and special files; they are listed as files only.
    if (!entry.folder && !filter.include_non_folders) continue;
    entry.hidden = info.isHidden();
    entry.link = info.isSymLink();
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace

QString ShellNamespace::ComputerText() { return QStringLiteral("Computer"); }

ShellEntry ShellNamespace::Root(const ShellLocator& base) {
  ShellEntry root;
  root.locator = base;
  root.folder = true;
  root.fixed = true;
  if (base.IsEmpty()) {
    root.text = QStringLiteral("Desktop");
  } else if (base.IsComputer()) {
    root.text = ComputerText();
  } else {
    root.text = NameOf(base.PathName());
  }
  return root;
}

std::vector<ShellEntry> ShellNamespace::Children(const ShellLocator& parent, const Filter& filter,
                                                 bool* ok) {
  *ok = true;
  std::vector<ShellEntry> fixed;
  std::vector<ShellEntry> entries;
  if (parent.IsComputer()) {
    ShellEntry root;
    root.text = QStringLiteral("/");
    root.locator = ShellLocator::FromPath(QStringLiteral("/"));
    root.folder = true;
    root.fixed = true;
    fixed.push_back(root);
    for (const ShellEntry& volume : Volumes()) fixed.push_back(volume);
  } else if (!parent.PathName().isEmpty()) {
    const QString path = parent.PathName();
    if (parent.IsEmpty()) {
      ShellEntry computer;
      computer.text = ComputerText();
      computer.locator = ShellLocator::Computer();
      computer.folder = true;
      computer.fixed = true;
      fixed.push_back(computer);
      // When there is no desktop folder the root is the home folder itself.
      const QString home = QDir::cleanPath(QDir::homePath());
      if (home != path) {
        ShellEntry entry;
        entry.text = NameOf(home);
        entry.locator = ShellLocator::FromPath(home);
        entry.folder = true;
        entry.fixed = true;
        fixed.push_back(entry);
      }
    }
    entries = Directory(path, filter, ok);
  }
  std::stable_sort(entries.begin(), entries.end(), Less);
  fixed.insert(fixed.end(), entries.begin(), entries.end());
  return fixed;
}

bool ShellNamespace::HasSubfolders(const QString& path, bool show_hidden) {
  QDir::Filters filters = QDir::Dirs | QDir::NoDotAndDotDot;
  if (show_hidden) filters |= QDir::Hidden;
  QDirIterator it(path, filters);
  return it.hasNext();
}

bool ShellNamespace::Less(const ShellEntry& a, const ShellEntry& b) {
  if (a.fixed != b.fixed) return a.fixed;
  if (a.fixed) return false;  // fixed entries keep the order they were given in
  if (a.folder != b.folder) return a.folder;
  const int order = NameCollator().compare(a.text, b.text);
  if (order != 0) return order < 0;
  return a.text < b.text;
}

}  // namespace mevra::widgets
