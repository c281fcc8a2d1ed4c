#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/config_settings.h"
#include "app/song_row.h"
#include "download/library_scan.h"

namespace mevra::app {

// One song that ended in a batch, as the history keeps it.
struct HistoryEntry {
  int64_t time_ms = 0;  // when it ended, milliseconds since the epoch
  QString id;
  QString title;
  QString singer;
  QString rate;
  QString file;  // where it was saved; empty unless it was
  int64_t size = 0;
  download::RowStatus outcome = download::RowStatus::kFailed;
  QString reason;

  bool operator==(const HistoryEntry&) const = default;
};

// The batch under way, so that a start after a crash can continue it.
struct BatchRecord {
  bool active = false;
  // The batch's rows are the ticked ones with keys below this.
  int end_key = 0;
  // The window's choices when it began: the same rate, names and folder find its part files.
  ConfigSettings settings;

  bool operator==(const BatchRecord&) const = default;
};

// What changed since the last write; written in one transaction.
struct SessionChanges {
  bool clear_songs = false;    // before the songs below
  std::vector<SongRow> songs;  // added or changed, by key
  std::optional<BatchRecord> batch;
  bool clear_history = false;  // before the entries below
  std::vector<HistoryEntry> history;

  bool Empty() const {
    return !clear_songs && songs.empty() && !batch && !clear_history && history.empty();
  }
};

// The session file: the song list, the batch under way and the history, in SQLite (write-ahead
// log, every commit synced). One program holds the file while it runs. A connection belongs to
// the thread that opened it.
class SessionDatabase {
 public:
  enum class Failure {
    kNone,
    kUnreadable,  // damaged, or written by another version: of no use to this program
    kInUse,       // another copy of the program holds it
    kUnwritable,  // the file or its folder cannot be written
  };

  // The file's layout; a file of another layout is not read.
  static constexpr int kSchemaVersion = 1;

  SessionDatabase();
  ~SessionDatabase();
  SessionDatabase(const SessionDatabase&) = delete;
  SessionDatabase& operator=(const SessionDatabase&) = delete;

  // Opens the file, creating it when it does not exist, and checks it. On failure the file is
  // closed again and left as it was.
  Failure Open(const QString& path);
  void Close();
  bool IsOpen() const { return open_; }
  // Why the last call failed, in the database's words.
  const QString& LastError() const { return last_error_; }

  // The songs in list order. Rows that were being fetched or waiting for a retry when the
  // program ended read as unfinished and ticked: they are to be fetched again.
  std::vector<SongRow> Songs();
  BatchRecord Batch();
  // Newest first.
  std::vector<HistoryEntry> History();
  // Writes everything in one transaction; false (and nothing written) when it fails. The
  // history keeps its newest kMaxHistoryEntries.
  bool Apply(const SessionChanges& changes);
  // The music library's files as the last scan read them, by path; empty when there are none.
  download::LibraryCache LibraryFiles();
  // Keeps `files` as the library's, in place of those before, in one transaction.
  bool SetLibraryFiles(const std::vector<download::LibraryFile>& files);

 private:
  bool Exec(const QString& statement);
  // Records why `source` failed when `ok` is false; the source is asked after the call it made.
  bool Check(bool ok, const QSqlQuery& source);
  bool Check(bool ok, const QSqlDatabase& source);
  bool Failed(const QSqlError& error);
  Failure Classify() const;
  // Sets the file up and checks it, once it is open.
  Failure CheckOpened();
  bool CreateSchema();
  // The library's table, made when first needed: a file of the first layout gains it and stays
  // readable by the programs that know no library.
  bool EnsureLibraryTable();

  QString connection_;
  QSqlDatabase db_;
  bool open_ = false;
  QString last_error_;
  QString last_code_;
};

}  // namespace mevra::app
