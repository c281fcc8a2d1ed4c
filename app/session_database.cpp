#include "app/session_database.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "app/limits.h"

namespace mevra::app {
namespace {

using download::RowStatus;

// SQLite's result codes that tell what kind of failure it was (the low byte of an extended
// code).
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoError = 10;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;

// Texts may be NULL: Qt writes an empty string that was never set as one.
const char* const kSchema[] = {
    "CREATE TABLE songs(key INTEGER PRIMARY KEY, id TEXT, title TEXT, singer TEXT,"
    " ticked INTEGER NOT NULL, status TEXT, reason TEXT, unfinished INTEGER NOT NULL)",
    "CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE history(seq INTEGER PRIMARY KEY, time INTEGER NOT NULL, id TEXT, title TEXT,"
    " singer TEXT, rate TEXT, file TEXT, size INTEGER NOT NULL, outcome TEXT, reason TEXT)",
};

QString NextConnectionName() {
  static QAtomicInt counter;
  return QStringLiteral("mevra-session-%1").arg(counter.fetchAndAddRelaxed(1));
}

}  // namespace

SessionDatabase::SessionDatabase() : connection_(NextConnectionName()) {}

SessionDatabase::~SessionDatabase() { Close(); }

void SessionDatabase::Close() {
  if (db_.isValid()) {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
  }
  open_ = false;
}

bool SessionDatabase::Check(bool ok, const QSqlQuery& source) {
  return ok || Failed(source.lastError());
}

bool SessionDatabase::Check(bool ok, const QSqlDatabase& source) {
  return ok || Failed(source.lastError());
}

bool SessionDatabase::Failed(const QSqlError& error) {
  last_error_ = error.text();
  last_code_ = error.nativeErrorCode();
  return false;
}

bool SessionDatabase::Exec(const QString& statement) {
  QSqlQuery query(db_);
  return Check(query.exec(statement), query);
}

SessionDatabase::Failure SessionDatabase::Classify() const {
  switch (last_code_.toInt() & 0xff) {
    case kSqliteBusy:
    case kSqliteLocked:
      return Failure::kInUse;
    case kSqliteReadOnly:
    case kSqliteIoError:
    case kSqliteFull:
    case kSqliteCantOpen:
      return Failure::kUnwritable;
    default:
      return Failure::kUnreadable;
  }
}

SessionDatabase::Failure SessionDatabase::Open(const QString& path) {
  Close();
  last_error_.clear();
  last_code_.clear();
  db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
  if (!db_.isValid()) {
    last_error_ = QStringLiteral("Qt has no SQLite driver (QSQLITE)");
    Close();
    return Failure::kUnwritable;
  }
  db_.setDatabaseName(path);
  // A file another copy of the program holds fails at once instead of after a wait.
  db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
  if (!Check(db_.open(), db_)) {
    const Failure failure = Classify();
    Close();
    return failure;
  }
  open_ = true;
  // The checks' queries are gone before a failed file is closed.
  const Failure failure = CheckOpened();
  if (failure != Failure::kNone) Close();
  return failure;
}

SessionDatabase::Failure SessionDatabase::CheckOpened() {
  // Held for the whole run, so a second copy of the program cannot write over this one's list.
  if (!Exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"))) return Classify();
  QSqlQuery query(db_);
  if (!Check(query.exec(QStringLiteral("PRAGMA user_version")), query) ||
      !Check(query.next(), query)) {
    return Classify();
  }
  const int version = query.value(0).toInt();
  query.finish();
  if (version == 0) {
    // A file without a layout version must be empty, as a new one is.
    if (!Check(query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")), query) ||
        !Check(query.next(), query)) {
      return Classify();
    }
    if (query.value(0).toInt() != 0) {
      last_error_ = QStringLiteral("the file holds tables of another program");
      return Failure::kUnreadable;
    }
    query.finish();
  } else if (version != kSchemaVersion) {
    last_error_ = QStringLiteral("the file has layout version %1, not %2")
                      .arg(QString::number(version), QString::number(kSchemaVersion));
    return Failure::kUnreadable;
  }
  // The write-ahead log makes every commit whole after a crash; syncing each one keeps it after
  // a power cut too. The writes run away from the window, so the sync costs the user nothing.
  if (!Check(query.exec(QStringLiteral("PRAGMA journal_mode=WAL")), query) ||
      !Check(query.next(), query)) {
    return Classify();
  }
  if (query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
    last_error_ = QStringLiteral("the file cannot keep a write-ahead log");
    return Failure::kUnwritable;
  }
  query.finish();
  if (!Exec(QStringLiteral("PRAGMA synchronous=FULL"))) return Classify();
  if (version == 0 && !CreateSchema()) return Classify();
  // A file that opened for reading only fails here rather than at its first change, and the
  // lock that keeps a second copy out is taken now.
  if (!Exec(QStringLiteral("BEGIN IMMEDIATE")) || !Exec(QStringLiteral("COMMIT"))) {
    return Classify();
  }
  if (!Check(query.exec(QStringLiteral("PRAGMA quick_check")), query) ||
      !Check(query.next(), query)) {
    return Classify();
  }
  if (query.value(0).toString() != QLatin1String("ok")) {
    last_error_ = query.value(0).toString();
    return Failure::kUnreadable;
  }
  query.finish();
  // Every table answers, with the columns this version reads.
  for (const char* probe :
       {"SELECT key, id, title, singer, ticked, status, reason, unfinished FROM songs LIMIT 0",
        "SELECT name, value FROM meta LIMIT 0",
        "SELECT seq, time, id, title, singer, rate, file, size, outcome, reason FROM history "
        "LIMIT 0"}) {
    if (!Exec(QString::fromLatin1(probe))) return Failure::kUnreadable;
  }
  return Failure::kNone;
}

bool SessionDatabase::CreateSchema() {
  if (!Check(db_.transaction(), db_)) return false;
  for (const char* statement : kSchema) {
    if (!Exec(QString::fromLatin1(statement))) {
      db_.rollback();
      return false;
    }
  }
  if (!Exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion))) {
    db_.rollback();
    return false;
  }
  return Check(db_.commit(), db_);
}

std::vector<SongRow> SessionDatabase::Songs() {
  std::vector<SongRow> songs;
  if (!open_) return songs;
  QSqlQuery query(db_);
  query.setForwardOnly(true);
  if (!Check(query.exec(QStringLiteral("SELECT key, id, title, singer, ticked, status, reason, "
                                       "unfinished FROM songs ORDER BY key")),
             query)) {
    return songs;
  }
  while (query.next()) {
    SongRow row;
    row.key = query.value(0).toInt();
    row.id = query.value(1).toString();
    row.title = query.value(2).toString();
    row.singer = query.value(3).toString();
    row.ticked = query.value(4).toInt() != 0;
    row.status = RowStatusFromCode(query.value(5).toString()).value_or(RowStatus::kWaiting);
    row.reason = query.value(6).toString();
    row.unfinished = query.value(7).toInt() != 0;
    if (row.status == RowStatus::kDownloading || row.status == RowStatus::kWaitingRetry) {
      row.status = RowStatus::kWaiting;
      row.unfinished = true;
    }
    // An unfinished song is still wanted, whatever was done to its tick while it came in.
    if (row.unfinished) row.ticked = true;
    songs.push_back(std::move(row));
  }
  return songs;
}

BatchRecord SessionDatabase::Batch() {
  BatchRecord batch;
  if (!open_) return batch;
  QSqlQuery query(db_);
  if (!Check(query.exec(QStringLiteral("SELECT name, value FROM meta WHERE name LIKE 'batch_%'")),
             query)) {
    return batch;
  }
  while (query.next()) {
    const QString name = query.value(0).toString();
    const QString value = query.value(1).toString();
    if (name == QLatin1String("batch_active")) batch.active = value == QLatin1String("1");
    if (name == QLatin1String("batch_end_key")) batch.end_key = value.toInt();
    if (name == QLatin1String("batch_settings")) {
      batch.settings = ConfigSettings::Read(IniDocument(value.toStdString()), QString());
    }
  }
  return batch;
}

std::vector<HistoryEntry> SessionDatabase::History() {
  std::vector<HistoryEntry> entries;
  if (!open_) return entries;
  QSqlQuery query(db_);
  query.setForwardOnly(true);
  if (!Check(query.exec(QStringLiteral("SELECT time, id, title, singer, rate, file, size, "
                                       "outcome, reason FROM history ORDER BY seq DESC")),
             query)) {
    return entries;
  }
  while (query.next()) {
    HistoryEntry entry;
    entry.time_ms = query.value(0).toLongLong();
    entry.id = query.value(1).toString();
    entry.title = query.value(2).toString();
    entry.singer = query.value(3).toString();
    entry.rate = query.value(4).toString();
    entry.file = query.value(5).toString();
    entry.size = query.value(6).toLongLong();
    entry.outcome = RowStatusFromCode(query.value(7).toString()).value_or(RowStatus::kFailed);
    entry.reason = query.value(8).toString();
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool SessionDatabase::Apply(const SessionChanges& changes) {
  if (!open_) return false;
  if (changes.Empty()) return true;
  if (!Check(db_.transaction(), db_)) return false;
  const auto write = [&]() -> bool {
    if (changes.clear_songs && !Exec(QStringLiteral("DELETE FROM songs"))) return false;
    if (!changes.songs.empty()) {
      QSqlQuery insert(db_);
      if (!Check(insert.prepare(QStringLiteral("INSERT OR REPLACE INTO songs VALUES "
                                               "(?, ?, ?, ?, ?, ?, ?, ?)")),
                 insert)) {
        return false;
      }
      for (const SongRow& row : changes.songs) {
        insert.bindValue(0, row.key);
        insert.bindValue(1, row.id);
        insert.bindValue(2, row.title);
        insert.bindValue(3, row.singer);
        insert.bindValue(4, row.ticked ? 1 : 0);
        insert.bindValue(5, RowStatusCode(row.status));
        insert.bindValue(6, row.reason);
        insert.bindValue(7, row.unfinished ? 1 : 0);
        if (!Check(insert.exec(), insert)) return false;
      }
    }
    if (changes.batch) {
      if (!Exec(QStringLiteral("DELETE FROM meta WHERE name LIKE 'batch_%'"))) return false;
      if (changes.batch->active) {
        IniDocument settings;
        changes.batch->settings.Write(settings);
        QSqlQuery meta(db_);
        if (!Check(meta.prepare(QStringLiteral("INSERT INTO meta VALUES (?, ?)")), meta)) {
          return false;
        }
        const std::pair<const char*, QString> values[] = {
            {"batch_active", QStringLiteral("1")},
            {"batch_end_key", QString::number(changes.batch->end_key)},
            {"batch_settings", QString::fromStdString(settings.Text())},
        };
        for (const auto& [name, value] : values) {
          meta.bindValue(0, QString::fromLatin1(name));
          meta.bindValue(1, value);
          if (!Check(meta.exec(), meta)) return false;
        }
      }
    }
    if (changes.clear_history && !Exec(QStringLiteral("DELETE FROM history"))) return false;
    if (!changes.history.empty()) {
      QSqlQuery insert(db_);
      if (!Check(insert.prepare(QStringLiteral(
                     "INSERT INTO history(time, id, title, singer, rate, file, size, outcome, "
                     "reason) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")),
                 insert)) {
        return false;
      }
      for (const HistoryEntry& entry : changes.history) {
        insert.bindValue(0, static_cast<qlonglong>(entry.time_ms));
        insert.bindValue(1, entry.id);
        insert.bindValue(2, entry.title);
        insert.bindValue(3, entry.singer);
        insert.bindValue(4, entry.rate);
        insert.bindValue(5, entry.file);
        insert.bindValue(6, static_cast<qlonglong>(entry.size));
        insert.bindValue(7, RowStatusCode(entry.outcome));
        insert.bindValue(8, entry.reason);
        if (!Check(insert.exec(), insert)) return false;
      }
      // Entries are numbered in the order they came, so the oldest have the lowest numbers.
      if (!Exec(QStringLiteral("DELETE FROM history WHERE seq <= "
                               "(SELECT max(seq) FROM history) - %1")
                    .arg(kMaxHistoryEntries))) {
        return false;
      }
    }
    return true;
  };
  if (!write()) {
    db_.rollback();
    return false;
  }
  if (!Check(db_.commit(), db_)) {
    db_.rollback();
    return false;
  }
  return true;
}

bool SessionDatabase::EnsureLibraryTable() {
  return open_ && Exec(QStringLiteral(
                      "CREATE TABLE IF NOT EXISTS library(path TEXT PRIMARY KEY, modified INTEGER "
                      "NOT NULL, size INTEGER NOT NULL, song_id TEXT, singer TEXT, title TEXT)"));
}

download::LibraryCache SessionDatabase::LibraryFiles() {
  download::LibraryCache files;
  if (!EnsureLibraryTable()) return files;
  QSqlQuery query(db_);
  query.setForwardOnly(true);
  if (!Check(query.exec(QStringLiteral(
                 "SELECT path, modified, size, song_id, singer, title FROM library")),
             query)) {
    return files;
  }
  while (query.next()) {
    download::LibraryFile file{query.value(0).toString(),   query.value(1).toLongLong(),
                               query.value(2).toLongLong(), query.value(3).toString(),
                               query.value(4).toString(),   query.value(5).toString()};
    files.insert(file.path, file);
  }
  return files;
}

bool SessionDatabase::SetLibraryFiles(const std::vector<download::LibraryFile>& files) {
  if (!EnsureLibraryTable() || !Check(db_.transaction(), db_)) return false;
  QSqlQuery insert(db_);
  bool ok = Exec(QStringLiteral("DELETE FROM library")) &&
            Check(insert.prepare(QStringLiteral(
                      "INSERT OR REPLACE INTO library(path, modified, size, song_id, singer, "
                      "title) VALUES(?, ?, ?, ?, ?, ?)")),
                  insert);
  for (size_t i = 0; ok && i < files.size(); ++i) {
    const download::LibraryFile& file = files[i];
    insert.bindValue(0, file.path);
    insert.bindValue(1, static_cast<qlonglong>(file.modified_ms));
    insert.bindValue(2, static_cast<qlonglong>(file.size));
    insert.bindValue(3, file.song_id);
    insert.bindValue(4, file.singer);
    insert.bindValue(5, file.title);
    ok = Check(insert.exec(), insert);
  }
  if (!ok) {
    db_.rollback();
    return false;
  }
  return Check(db_.commit(), db_);
}

}  // namespace mevra::app
