#pragma once

#include <QHash>
#include <QString>

namespace mevra::download {

// The songs saved so far, one line per song in a text file ("id", "rate" and the saved file's
// path, separated by tabs). A line is appended and flushed to the disk as each song is saved, so
// a crash loses at most the song in flight. A damaged line is passed over without losing the
// others. Used from the GUI thread only.
class DownloadArchive {
 public:
  explicit DownloadArchive(QString path) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }
  // Reads the file again; a missing file is an empty archive.
  void Load();
  // Where the song was saved at the rate; empty when the archive does not know it.
  QString SavedPath(const QString& id, const QString& rate) const;
  // Records a saved song in memory and on disk; false with the system's text when the file
  // could not be written (the song stays recorded in memory).
  bool Add(const QString& id, const QString& rate, const QString& saved_path,
           QString* error = nullptr);
  // Forgets every song and empties the file.
  bool Clear(QString* error = nullptr);
  int Count() const { return static_cast<int>(saved_.size()); }

 private:
  static QString Key(const QString& id, const QString& rate) { return id + u'\t' + rate; }

  QString path_;
  QHash<QString, QString> saved_;  // "id\trate" -> saved path; the last line of a song wins
};

}  // namespace mevra::download
