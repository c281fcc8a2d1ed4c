#include "download/library_scan.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

namespace mevra::download {
namespace {

QString NameKey(const QString& singer, const QString& title) {
  return singer.trimmed().toCaseFolded() + QChar(0x1f) + title.trimmed().toCaseFolded();
}

QString Text(const TagLib::String& text) { return QString::fromStdString(text.to8Bit(true)); }

// The file's names and id; a file TagLib cannot read has none and matches nothing.
void ReadTags(LibraryFile& file) {
  // The audio's properties are of no use here, and reading them costs most of the time.
  TagLib::MPEG::File mp3(QFile::encodeName(file.path).constData(), false);
  if (!mp3.isValid()) return;
  if (const TagLib::Tag* tag = mp3.tag()) {
    file.singer = Text(tag->artist());
    file.title = Text(tag->title());
  }
  if (mp3.hasID3v2Tag()) {
    const auto* id =
        TagLib::ID3v2::UserTextIdentificationFrame::find(mp3.ID3v2Tag(), "MEVRA_SONG_ID");
    if (id && id->fieldList().size() >= 2) file.song_id = Text(id->fieldList().back());
  }
}

}  // namespace

std::vector<LibraryFile> ScanLibrary(const QString& folder, const LibraryCache& cache,
                                     const std::atomic<bool>* stop) {
  std::vector<LibraryFile> files;
  if (folder.isEmpty()) return files;
  // Links are not followed: a link to a parent folder would walk for ever.
  QDirIterator it(folder, {QStringLiteral("*.mp3"), QStringLiteral("*.MP3")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    if (stop && *stop) break;
    it.next();
    const QFileInfo info = it.fileInfo();
    LibraryFile file;
    file.path = info.absoluteFilePath();
    file.modified_ms = info.lastModified().toMSecsSinceEpoch();
    file.size = info.size();
    const auto cached = cache.constFind(file.path);
    if (cached != cache.cend() && cached->modified_ms == file.modified_ms &&
        cached->size == file.size) {
      files.push_back(*cached);
      continue;
    }
    ReadTags(file);
    files.push_back(std::move(file));
  }
  return files;
}

LibraryIndex::LibraryIndex(const std::vector<LibraryFile>& files) {
  for (const LibraryFile& file : files) {
    if (!file.song_id.trimmed().isEmpty()) ids_.insert(file.song_id.trimmed());
    if (!file.singer.trimmed().isEmpty() && !file.title.trimmed().isEmpty()) {
      names_.insert(NameKey(file.singer, file.title));
    }
  }
}

bool LibraryIndex::Contains(const QString& id, const QString& singer, const QString& title) const {
  if (!id.trimmed().isEmpty() && ids_.contains(id.trimmed())) return true;
  return !singer.trimmed().isEmpty() && !title.trimmed().isEmpty() &&
         names_.contains(NameKey(singer, title));
}

}  // namespace mevra::download
