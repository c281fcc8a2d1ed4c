// The songs already in the music library: the save folder's MP3 files, found by a background
// scan, mark the rows of songs that need no download.
#include <QLineEdit>

#include "app/main_window.h"
#include "app/session_store.h"
#include "app/song_list_model.h"

namespace mevra::app {

void MainWindow::StartLibraryScan() {
  library_ = {};
  if (!download_settings_.use_library) return;
  session_->ScanLibrary(ui_.edt_saveto->text().trimmed(),
                        [this](const std::vector<download::LibraryFile>& files) {
                          library_ = download::LibraryIndex(files);
                          MarkLibrarySongs();
                        });
}

void MainWindow::MarkLibrarySongs() {
  if (library_.Empty()) return;
  // Only rows nobody has done anything with yet: a song fetched, failed or being fetched keeps
  // what it shows, and one the user ticks again is fetched all the same.
  for (int row = 0; row < SongCount(); ++row) {
    const SongRow& song = songs_->Row(row);
    if (song.status != download::RowStatus::kWaiting || song.unfinished) continue;
    if (!library_.Contains(song.id, song.singer, song.title)) continue;
    songs_->SetStatus(row, download::RowStatus::kInLibrary);
    SetSongTicked(row, false);
  }
}

}  // namespace mevra::app
