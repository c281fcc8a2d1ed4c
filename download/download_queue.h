#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>

#include "download/batch_progress.h"
#include "download/download_policies.h"
#include "download/job_result.h"
#include "download/link_source.h"
#include "download/task_list.h"
#include "download/transfer_progress.h"

namespace mevra::download {

class SongDownloadJob;
class SpaceAccount;

// How a batch ended.
enum class BatchEnd {
  kFinished,    // every song had its turn
  kStopped,     // StopAll ended it
  kOutOfSpace,  // the save folder's disk was full; the songs still running were stopped
};

// A batch of song downloads: the songs of a task list in its order, at most N transfers at once,
// and the links of the next songs asked for while earlier files still come in.
//
// A song's turn comes when a transfer slot is free and every song before it has had its turn;
// from then on it counts as started (TaskStarted) and ends with exactly one TaskFinished. With
// one slot, songs therefore end in list order. Up to N further songs wait ahead of their turn
// with their links being resolved; such a song touches nothing of the caller's until its turn,
// and is dropped silently when the list no longer wants it or the batch stops.
//
// Every signal comes from the event loop, never from inside a call to the queue, and a receiver
// of any of them may stop the batch.
class DownloadQueue : public QObject {
  Q_OBJECT

 public:
  explicit DownloadQueue(LinkSource& links, QObject* parent = nullptr);
  ~DownloadQueue() override;

  // The policies the songs of the next batch are fetched and saved with.
  void SetPolicies(DownloadPolicies policies) { policies_ = std::move(policies); }
  const DownloadPolicies& Policies() const { return policies_; }

  // Starts a batch over `tasks` with `parallel` transfers at once (taken into 1 to
  // kMaxParallelDownloads). A batch still running is stopped and dropped first, without its
  // BatchEnded. `expected` songs are counted on in the batch's progress (the ticked ones).
  void Start(std::unique_ptr<TaskList> tasks, int parallel, int expected = 0);
  // Stops every song of the batch: pending links are dropped, running transfers cut at once
  // (their partial files kept for a later batch), waits for a retry ended; no further song
  // starts. BatchEnded follows once all have ended.
  void StopAll();
  bool IsRunning() const { return running_; }
  int Parallel() const { return parallel_; }
  // The running (or last) batch as a whole, as BatchProgressed last reported it.
  const BatchProgress& Progress() const { return progress_; }

 signals:
  void TaskStarted(int key);
  void TransferStarted(int key);
  void TaskProgress(int key, const mevra::download::TransferProgress& progress);
  void TransferEnded(int key);
  // A song's try failed; retry `retry` of `retries` follows after `wait_ms`.
  void TaskRetrying(int key, int retry, int retries, qint64 wait_ms);
  void TaskFinished(int key, const mevra::download::JobResult& result);
  // A started song that the list no longer wanted before its transfer began; it fetched nothing.
  void TaskDropped(int key);
  // `started` songs had their turn, `saved` of them were saved.
  void BatchEnded(int saved, int started, mevra::download::BatchEnd end);
  // The batch as a whole, after each of the reports above that changes it (BatchEnded aside).
  void BatchProgressed(const mevra::download::BatchProgress& progress);

 private:
  struct Entry;

  void SchedulePump();
  // Takes songs ahead, gives turns and starts transfers as far as room allows; ends the batch
  // when nothing is left.
  void Pump();
  void JobFinished(SongDownloadJob* job, const JobResult& result);
  // The batch's counts after a song's transfer moved to `phase` with `progress`.
  void TransferMoved(int key, BatchProgress::Phase phase, const TransferProgress& progress);
  // Counts a song that had its turn and ended with `result` (nothing for a dropped one).
  void SongEnded(int key, const JobResult* result);
  void EmitProgress();
  void Remove(SongDownloadJob* job);
  void DropAll();
  // Stops every song with `reason` and ends the batch as `end` once they have ended.
  void Halt(BatchEnd end, const QString& reason);

  LinkSource& links_;
  DownloadPolicies policies_;
  std::unique_ptr<TaskList> tasks_;
  std::deque<std::unique_ptr<Entry>> entries_;  // in list order
  int parallel_ = 1;
  bool running_ = false;
  bool stopping_ = false;
  BatchEnd end_ = BatchEnd::kFinished;
  bool list_ended_ = false;
  int started_ = 0;
  int saved_ = 0;
  BatchProgress progress_;
  int64_t saved_bytes_ = 0;
  // The transfers of the songs still running, by key: how far each has come, and whether its
  // transfer is under way now (not waiting for a retry or being saved).
  struct Running {
    TransferProgress progress;
    bool active = false;
  };
  std::map<int, Running> transfers_;
  // Where the running transfers of the batch claim the room of their files.
  std::shared_ptr<SpaceAccount> space_;
  // Pumps run from a timer, never inside the call or the signal that made room.
  QTimer pump_timer_;
};

}  // namespace mevra::download
