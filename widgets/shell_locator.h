#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace mevra::widgets {

// A location in the folder tree: a file-system path, a special folder that has no path (such as
// "Computer"), or empty, which stands for the desktop root.
class ShellLocator {
 public:
  enum class Kind : uint8_t { kEmpty, kPath, kSpecial };
  // Special folder numbers, as the stored form keeps them.
  static constexpr uint8_t kDesktopFolder = 0;
  static constexpr uint8_t kComputerFolder = 17;

  ShellLocator() = default;
  static ShellLocator FromPath(const QString& path);
  static ShellLocator Special(uint8_t folder);
  static ShellLocator Computer() { return Special(kComputerFolder); }

  // The desktop root's folder: the XDG desktop folder when it exists, else the home folder.
  static QString DesktopPath();

  Kind GetKind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::kEmpty; }
  bool IsComputer() const { return kind_ == Kind::kSpecial && special_ == kComputerFolder; }
  uint8_t SpecialFolder() const { return special_; }
  // The stored path of a path locator, as given (cleaned).
  const QString& Path() const { return path_; }

  // The file-system path: the desktop's folder for an empty locator, empty for a location
  // outside the file system. "/" is the only result that ends in a separator.
  QString PathName() const;

  void Clear() { *this = ShellLocator(); }

  // A key that tells locators apart within one tree.
  QString Key() const;

  // The stored form: a kind byte (0 path, 1 special folder), then the folder number, or a 32-bit
  // little-endian byte count and the path in UTF-8. A count of 0 reads back as special folder 0.
  QByteArray Save() const;
  static ShellLocator Load(const QByteArray& data);

  friend bool operator==(const ShellLocator& a, const ShellLocator& b) {
    return a.kind_ == b.kind_ && a.path_ == b.path_ && a.special_ == b.special_;
  }

 private:
  Kind kind_ = Kind::kEmpty;
  QString path_;
  uint8_t special_ = 0;
};

}  // namespace mevra::widgets
