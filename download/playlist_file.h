#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace mevra::download {

// One song of a batch's playlist.
struct PlaylistEntry {
  QString path;  // absolute
  int seconds = -1;
  QString label;    // "Singer - Title"
  QString song_id;  // from the file's tag; empty when it has none
};

// The entries of a playlist written before, with their paths made absolute and their song ids
// read from the files; files that are gone are left out. Empty when there is no such file.
std::vector<PlaylistEntry> ReadPlaylist(const QString& playlist_path);

// The songs of both, each once: those of the song list in its order (`list_ids`), a song of the
// batch in place of the same song written before, then the earlier ones no longer listed, in
// their order.
std::vector<PlaylistEntry> MergePlaylist(const std::vector<PlaylistEntry>& before,
                                         const std::vector<PlaylistEntry>& batch,
                                         const QStringList& list_ids);

// "#EXTM3U", then "#EXTINF:SECONDS,LABEL" and the path relative to `folder` for each entry.
QByteArray PlaylistText(const QString& folder, const std::vector<PlaylistEntry>& entries);

// Writes the playlist in one step (a reader never sees half of it). False when it could not.
bool WritePlaylist(const QString& playlist_path, const std::vector<PlaylistEntry>& entries);

// A saved song's length in whole seconds, -1 when it cannot be read, and the song id its tag
// carries (empty for none).
int SongSeconds(const QString& path);
QString SongIdOf(const QString& path);

}  // namespace mevra::download
