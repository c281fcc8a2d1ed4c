#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace mevra::download {

// Where the bytes of a partial file came from, kept in a small file beside it
// ("name.mp3.part.info"), so that a later try continues only the file it began: the same song
// at the same rate from the same address, and a whole file of the same length and version.
struct PartFileInfo {
  QString id;
  QString rate;
  // The file link without its query: a portal may sign each link anew, while the file it
  // names stays the same.
  QString link;
  // The whole file's length as the server gave it; -1 while unknown.
  int64_t complete_length = -1;
  // The validators of the response the bytes came with, as the server sent them; empty when it
  // sent none.
  QString etag{};
  QString last_modified{};

  static QString InfoPath(const QString& part_path);
  // nullopt when there is no readable record beside the part file.
  static std::optional<PartFileInfo> Read(const QString& part_path);
  // False with the system's text when the record could not be written whole.
  bool Write(const QString& part_path, QString* error = nullptr) const;
  static void Remove(const QString& part_path);

  bool SameSource(const PartFileInfo& other) const {
    return id == other.id && rate == other.rate && link == other.link;
  }
  // The value of an If-Range that asks for the rest only while the file is still the one the
  // bytes came from: the ETag unless it is a weak one, else the Last-Modified date; empty for
  // none.
  QString IfRange() const;
  // Whether the bytes may be continued at all: without a validator and without the whole
  // file's length nothing tells that the server still has the same file.
  bool CanContinue() const { return !IfRange().isEmpty() || complete_length >= 0; }
};

// A file link as PartFileInfo keeps it: scheme, host, port and path, without query or fragment.
QString LinkIdentity(const QString& url);

}  // namespace mevra::download
