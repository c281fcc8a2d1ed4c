#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "download/file_naming.h"

namespace mevra::download {

// The name rules of a file system of statfs type `statfs_type`. FUSE file systems all share one
// type; only those the mount table calls "fuseblk" (NTFS and exFAT drivers on a block device)
// take FAT's rules, so `fuse_mount_type` is looked at for them alone.
NameRules NameRulesFor(int64_t statfs_type, std::string_view fuse_mount_type);

// The name rules of the file system that holds `folder`; POSIX rules when that cannot be told.
NameRules FolderNameRules(const QString& folder);

}  // namespace mevra::download
