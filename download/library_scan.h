#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

namespace mevra::download {

// One MP3 file of the user's music library, as its tag names it.
struct LibraryFile {
  QString path;
  int64_t modified_ms = 0;  // its modification time
  int64_t size = 0;
  QString song_id;  // the TXXX:MEVRA_SONG_ID a saved song carries; empty for other files
  QString singer;
  QString title;

  bool operator==(const LibraryFile&) const = default;
};

// Files read before, by path.
using LibraryCache = QHash<QString, LibraryFile>;

// Every MP3 file below `folder`, at any depth. A file whose modification time and size are those
// `cache` has for its path is taken from it unread; the others' tags are read. A set `stop` ends
// the walk early with what it found so far.
std::vector<LibraryFile> ScanLibrary(const QString& folder, const LibraryCache& cache,
                                     const std::atomic<bool>* stop = nullptr);

// Whether a song is in the library: a file carries its id, or else its singer and title
// (compared without regard to case or surrounding blanks).
class LibraryIndex {
 public:
  LibraryIndex() = default;
  explicit LibraryIndex(const std::vector<LibraryFile>& files);

  bool Contains(const QString& id, const QString& singer, const QString& title) const;
  bool Empty() const { return ids_.isEmpty() && names_.isEmpty(); }

 private:
  QSet<QString> ids_;
  QSet<QString> names_;
};

}  // namespace mevra::download
