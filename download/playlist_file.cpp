#include "download/playlist_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

namespace mevra::download {
namespace {

// A playlist larger than this is none of ours.
constexpr qint64 kMaxPlaylistBytes = 16 * 1024 * 1024;

}  // namespace

int SongSeconds(const QString& path) {
  TagLib::MPEG::File file(QFile::encodeName(path).constData());
  if (!file.isValid() || !file.audioProperties()) return -1;
  return file.audioProperties()->lengthInSeconds();
}

QString SongIdOf(const QString& path) {
  TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
  if (!file.isValid() || !file.hasID3v2Tag()) return QString();
  const auto* frame =
      TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(), "MEVRA_SONG_ID");
  if (!frame || frame->fieldList().size() < 2) return QString();
  return QString::fromStdString(frame->fieldList().back().to8Bit(true));
}

std::vector<PlaylistEntry> ReadPlaylist(const QString& playlist_path) {
  std::vector<PlaylistEntry> entries;
  QFile file(playlist_path);
  if (file.size() > kMaxPlaylistBytes || !file.open(QIODevice::ReadOnly)) return entries;
  const QDir folder = QFileInfo(playlist_path).absoluteDir();
  PlaylistEntry pending;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line == QLatin1String("#EXTM3U")) continue;
    if (line.startsWith(QLatin1String("#EXTINF:"))) {
      const qsizetype comma = line.indexOf(u',');
      bool ok = false;
      pending.seconds = line.mid(8, comma < 0 ? -1 : comma - 8).toInt(&ok);
      if (!ok) pending.seconds = -1;
      pending.label = comma < 0 ? QString() : line.mid(comma + 1);
      continue;
    }
    if (line.startsWith(u'#')) continue;
    pending.path = QDir::cleanPath(folder.absoluteFilePath(line));
    if (QFileInfo(pending.path).isFile()) {
      pending.song_id = SongIdOf(pending.path);
      entries.push_back(pending);
    }
    pending = {};
  }
  return entries;
}

std::vector<PlaylistEntry> MergePlaylist(const std::vector<PlaylistEntry>& before,
                                         const std::vector<PlaylistEntry>& batch,
                                         const QStringList& list_ids) {
  // A song is known by its id, or by its path when its file carries none.
  auto key = [](const PlaylistEntry& entry) {
    return entry.song_id.isEmpty() ? QStringLiteral("path:") + entry.path
                                   : QStringLiteral("id:") + entry.song_id;
  };
  QHash<QString, PlaylistEntry> by_key;
  for (const PlaylistEntry& entry : before) by_key.insert(key(entry), entry);
  for (const PlaylistEntry& entry : batch) by_key.insert(key(entry), entry);
  std::vector<PlaylistEntry> merged;
  QSet<QString> placed;
  for (const QString& id : list_ids) {
    const QString k = QStringLiteral("id:") + id;
    if (placed.contains(k) || !by_key.contains(k)) continue;
    merged.push_back(by_key.value(k));
    placed.insert(k);
  }
  for (const std::vector<PlaylistEntry>* list : {&before, &batch}) {
    for (const PlaylistEntry& entry : *list) {
      const QString k = key(entry);
      if (placed.contains(k)) continue;
      merged.push_back(by_key.value(k));
      placed.insert(k);
    }
  }
  return merged;
}

QByteArray PlaylistText(const QString& folder, const std::vector<PlaylistEntry>& entries) {
  QByteArray text = "#EXTM3U\n";
  const QDir dir(folder);
  for (const PlaylistEntry& entry : entries) {
    // A line break in a label would end the entry early.
    QString label = entry.label;
    label.replace(u'\n', u' ').replace(u'\r', u' ');
    text += "#EXTINF:" + QByteArray::number(entry.seconds) + ',' + label.toUtf8() + '\n';
    text += dir.relativeFilePath(entry.path).toUtf8() + '\n';
  }
  return text;
}

bool WritePlaylist(const QString& playlist_path, const std::vector<PlaylistEntry>& entries) {
  QSaveFile file(playlist_path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray text = PlaylistText(QFileInfo(playlist_path).absolutePath(), entries);
  if (file.write(text) != text.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace mevra::download
