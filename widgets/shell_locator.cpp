#include "widgets/shell_locator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mevra::widgets {
namespace {

constexpr char kStoredList = 0;
constexpr char kStoredSpecial = 1;

}  // namespace

ShellLocator ShellLocator::FromPath(const QString& path) {
  ShellLocator locator;
  if (path.isEmpty()) return locator;
  locator.kind_ = Kind::kPath;
  locator.path_ = QDir::cleanPath(QDir(path).absolutePath());
  return locator;
}

ShellLocator ShellLocator::Special(uint8_t folder) {
  ShellLocator locator;
  locator.kind_ = Kind::kSpecial;
  locator.special_ = folder;
  return locator;
}

QString ShellLocator::DesktopPath() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return QDir::cleanPath(desktop);
  return QDir::cleanPath(QDir::homePath());
}

QString ShellLocator::PathName() const {
  switch (kind_) {
    case Kind::kEmpty:
      return DesktopPath();
    case Kind::kPath:
      return path_;
    case Kind::kSpecial:
      return special_ == kDesktopFolder ? DesktopPath() : QString();
  }
  return {};
}

QString ShellLocator::Key() const {
  switch (kind_) {
    case Kind::kEmpty:
      return QStringLiteral("desktop:");
    case Kind::kPath:
      return QStringLiteral("path:") + path_;
    case Kind::kSpecial:
      return QStringLiteral("special:") + QString::number(special_);
  }
  return {};
}

QByteArray ShellLocator::Save() const {
  QByteArray out;
  if (kind_ == Kind::kSpecial) {
    out.append(kStoredSpecial);
    out.append(static_cast<char>(special_));
    return out;
  }
  const QByteArray bytes = path_.toUtf8();
  const auto count = static_cast<uint32_t>(bytes.size());
  out.append(kStoredList);
  for (int shift = 0; shift < 32; shift += 8)
    out.append(static_cast<char>((count >> shift) & 0xFF));
  out.append(bytes);
  return out;
}

ShellLocator ShellLocator::Load(const QByteArray& data) {
  if (data.size() >= 2 && data[0] == kStoredSpecial) {
    return Special(static_cast<uint8_t>(data[1]));
  }
  if (data.size() < 5 || data[0] != kStoredList) return {};
  uint32_t count = 0;
  for (int i = 0; i < 4; ++i) count |= uint32_t{static_cast<uint8_t>(data[1 + i])} << (8 * i);
  if (count == 0) return Special(kDesktopFolder);
  // A count beyond the data is a damaged record; it reads back as empty.
  if (count > static_cast<uint32_t>(data.size() - 5)) return {};
  return FromPath(QString::fromUtf8(data.mid(5, static_cast<qsizetype>(count))));
}

}  // namespace mevra::widgets
