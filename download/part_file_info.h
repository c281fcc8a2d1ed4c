#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace mevra::download {

// Where the bytes of a partial file came from, kept in a small file beside it
// ("name.mp3.part.info"), so that a later try continues only the file it began: the same song
// at the same rate from the same address, and a whole file of the same length.
struct PartFileInfo {
  QString id;
  QString rate;
  // The file link without its query: a portal may sign each link anew, while the file it
  // names stays the same.
  QString link;
  // The whole file's length as the server gave it; -1 while unknown.
  int64_t complete_length = -1;

  static QString InfoPath(const QString& part_path);
  // nullopt when there is no readable record beside the part file.
  static std::optional<PartFileInfo> Read(const QString& part_path);
  bool Write(const QString& part_path) const;
  static void Remove(const QString& part_path);

  bool SameSource(const PartFileInfo& other) const {
    return id == other.id && rate == other.rate && link == other.link;
  }
};

// A file link as PartFileInfo keeps it: scheme, host, port and path, without query or fragment.
QString LinkIdentity(const QString& url);

}  // namespace mevra::download
