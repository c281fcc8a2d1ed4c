#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/session_database.h"

namespace mevra::app {

class SongListModel;

// The session: the song list as the user built it, the batch under way and the history, kept in
// session.sqlite as they change. Reads happen at start and when the history is shown; writes
// run on a thread of their own, one transaction for every round of the event loop that changed
// something, so a slow disk never holds the window up.
//
// A file that cannot be read is set aside beside itself as ".broken" and a fresh one begun; when
// no file can be kept (a folder that cannot be written, another copy of the program holding it),
// the program runs on without keeping its list, and Open says so.
class SessionStore : public QObject {
  Q_OBJECT

 public:
  struct Opened {
    std::vector<SongRow> songs;
    BatchRecord batch;
    // For the user when the file could not be used as it was; empty when all went well.
    QString problem;
  };

  explicit SessionStore(QObject* parent = nullptr);
  ~SessionStore() override;

  Opened Open(const QString& path);
  // Whether changes are written anywhere.
  bool Keeping() const { return keeping_; }

  // From now on every row that goes in and every change of a tick or a status is written;
  // progress is not.
  void Watch(const SongListModel* model);
  void SetBatch(const BatchRecord& batch);
  void EndBatch();
  void AddHistory(const HistoryEntry& entry);
  void ClearHistory();
  // Newest first, with everything handed over before written.
  std::vector<HistoryEntry> History();
  // Waits until everything handed over so far is written.
  void Flush();
  // Scans `folder` for the music library on a thread of its own, never the window's, with the
  // files the last scan read as its cache, and keeps what it read for the next one. `done` runs
  // on the window's thread with the files, unless a newer scan began meanwhile.
  void ScanLibrary(const QString& folder,
                   std::function<void(const std::vector<download::LibraryFile>& files)> done);

  // A write failed; fired once until a write succeeds again.
  std::function<void(const QString& error)> OnWriteFailed;

 private:
  void CollectRows(int first, int last);
  void Schedule();
  // Hands what changed to the writing thread.
  void Submit();
  // Runs `work` on the writing thread and waits for it.
  void RunThere(const std::function<void()>& work);
  void WriteFailed(const QString& error);
  // Ends the scan under way and waits for its thread.
  void StopLibraryScan();

  const SongListModel* model_ = nullptr;
  QThread thread_;
  // Lives on the writing thread; the database is used there only.
  QObject* context_ = nullptr;
  std::unique_ptr<SessionDatabase> db_;
  bool keeping_ = false;
  bool failing_ = false;
  SessionChanges pending_;
  QTimer submit_timer_;
  // Set to end the scan under way.
  std::shared_ptr<std::atomic<bool>> library_stop_ = std::make_shared<std::atomic<bool>>(false);
  std::thread library_thread_;
};

}  // namespace mevra::app
