// The playlists of a batch: one per harvested page, beside the songs it saved.
#include <QFileInfo>
#include <map>
#include <utility>

#include "app/main_window.h"
#include "app/song_list_model.h"
#include "download/file_naming.h"
#include "download/folder_name_rules.h"
#include "download/limits.h"
#include "download/playlist_file.h"

namespace mevra::app {

void MainWindow::WriteBatchPlaylists() {
  std::map<int, SavedSong> saved;
  saved.swap(batch_saved_);
  if (!download_settings_.playlist || saved.empty()) return;
  struct Playlist {
    std::vector<download::PlaylistEntry> batch;  // in list order
    QStringList list_ids;
  };
  // By save folder and page; a song harvested from no page, as a kept session's, has none.
  std::map<std::pair<QString, QString>, Playlist> playlists;
  for (int row = 0; row < SongCount(); ++row) {
    const SongRow& song = songs_->Row(row);
    const auto it = saved.find(song.key);
    if (it != saved.end() && !it->second.page.isEmpty()) {
      Playlist& playlist = playlists[{it->second.folder, it->second.page}];
      playlist.batch.push_back(
          {it->second.path, download::SongSeconds(it->second.path),
           song.singer.trimmed() + QStringLiteral(" - ") + song.title.trimmed(),
           song.id.trimmed()});
    }
  }
  for (auto& [where, playlist] : playlists) {
    for (int row = 0; row < SongCount(); ++row) {
      if (songs_->Row(row).page == where.second)
        playlist.list_ids.push_back(songs_->Row(row).id.trimmed());
    }
    const download::NameRules rules = download::FolderNameRules(where.first);
    QString name = download::SafeFileName(where.second.trimmed());
    name = download::CutToUtf8Bytes(name, download::kMaxFileNameBytes - 6);
    if (rules == download::NameRules::kFat) name = download::FatSafeFileName(name);
    const QString path = where.first + QLatin1Char('/') + name + QStringLiteral(".m3u8");
    // A playlist that cannot be written costs the songs nothing.
    download::WritePlaylist(path, download::MergePlaylist(download::ReadPlaylist(path),
                                                          playlist.batch, playlist.list_ids));
  }
}

}  // namespace mevra::app
