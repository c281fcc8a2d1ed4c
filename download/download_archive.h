#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <mutex>

namespace mevra::download {

// The songs saved so far, one line per song in a text file ("id", "rate", the saved file's path
// and its size in bytes, separated by tabs; lines of older versions lack the size). A line is
// appended and synced to the disk as each song is saved, so a crash loses at most the song in
// flight. A damaged line is passed over without losing the others. Thread-safe: songs are
// recorded from their transfers' threads while the window asks about others.
class DownloadArchive {
 public:
  explicit DownloadArchive(QString path) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }
  // Reads the file again; a missing file is an empty archive.
  void Load();
  // Where the song was saved at the rate; empty when the archive does not know it.
  QString SavedPath(const QString& id, const QString& rate) const;
  // The size the song's file had when it was saved; -1 when the line does not say.
  int64_t SavedSize(const QString& id, const QString& rate) const;
  // Records a saved song in memory and on disk; false with the system's text when the file
  // could not be written (the song stays recorded in memory).
  bool Add(const QString& id, const QString& rate, const QString& saved_path, int64_t size,
           QString* error = nullptr);
  // Forgets every song and empties the file.
  bool Clear(QString* error = nullptr);
  int Count() const;

 private:
  struct Saved {
    QString path;
    int64_t size = -1;
  };
  static QString Key(const QString& id, const QString& rate) { return id + u'\t' + rate; }

  QString path_;
  mutable std::mutex mutex_;
  QHash<QString, Saved> saved_;  // "id\trate" -> where; the last line of a song wins
};

}  // namespace mevra::download
