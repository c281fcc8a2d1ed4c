#include "download/folder_name_rules.h"

#include <QFile>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace mevra::download {
namespace {

constexpr int64_t kMsdosMagic = 0x4d44;      // vfat, msdos
constexpr int64_t kExfatMagic = 0x2011BAB0;  // the kernel's exfat
constexpr int64_t kNtfsMagic = 0x5346544e;   // the kernel's old ntfs
constexpr int64_t kNtfs3Magic = 0x7366746e;  // the kernel's ntfs3
constexpr int64_t kFuseMagic = 0x65735546;   // every FUSE file system

// The file-system type the mount table gives the device `device`; empty when it is not there.
std::string MountTypeOf(dev_t device) {
  std::ifstream table("/proc/self/mountinfo");
  const std::string wanted = std::to_string(major(device)) + ':' + std::to_string(minor(device));
  std::string line;
  while (std::getline(table, line)) {
    // "id parent major:minor root mount-point options [optional fields] - type source ..."
    std::istringstream fields(line);
    std::string id, parent, numbers;
    fields >> id >> parent >> numbers;
    if (numbers != wanted) continue;
    const size_t separator = line.find(" - ");
    if (separator == std::string::npos) continue;
    std::istringstream rest(line.substr(separator + 3));
    std::string type;
    rest >> type;
    return type;
  }
  return {};
}

}  // namespace

NameRules NameRulesFor(int64_t statfs_type, std::string_view fuse_mount_type) {
  switch (statfs_type) {
    case kMsdosMagic:
    case kExfatMagic:
    case kNtfsMagic:
    case kNtfs3Magic:
      return NameRules::kFat;
    case kFuseMagic:
      return fuse_mount_type == "fuseblk" ? NameRules::kFat : NameRules::kPosix;
    default:
      return NameRules::kPosix;
  }
}

NameRules FolderNameRules(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  struct statfs info {};
  if (::statfs(path.constData(), &info) != 0) return NameRules::kPosix;
  const auto type = static_cast<int64_t>(info.f_type);
  std::string mount_type;
  struct stat where {};
  if (type == kFuseMagic && ::stat(path.constData(), &where) == 0) {
    mount_type = MountTypeOf(where.st_dev);
  }
  return NameRulesFor(type, mount_type);
}

}  // namespace mevra::download
