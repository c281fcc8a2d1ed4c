#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>

#include "download/download_policies.h"
#include "download/job_result.h"
#include "download/link_source.h"
#include "download/part_file_info.h"
#include "download/song_task.h"
#include "download/speed_meter.h"
#include "download/transfer_progress.h"
#include "download/transfer_worker.h"

namespace mevra::download {

// One song's download as a job: its link is asked for, its file streams into a ".part" file
// beside its final name on a worker thread, and is then, on that thread too, put through the
// small-file filter and renamed to the name the naming rules and the policies give at that
// moment. Progress comes as signals at most 20 times a second; the end comes once, as the row's
// final status. Every signal is emitted from the event loop, never inside a call to the job, so
// a receiver may call back into the job, Stop included, or delete it later (deleteLater) from a
// slot.
//
// A song saved before (by name, or by the archive) is skipped without asking for its link. A try
// that fails for a passing reason is repeated after a pause, continuing the partial file where
// the server allows it. The partial file of a stopped song, or of one whose tries ran out, stays
// beside its name with a record of its source, so a later batch continues it; a song that fails
// for good leaves nothing. Nothing named like a finished song ever holds a partial body.
class SongDownloadJob : public QObject {
  Q_OBJECT

 public:
  enum class State {
    kCreated,
    kResolving,
    kResolved,  // the link (or the reason there is none) is known; waiting for Transfer
    kTransferring,
    kWaitingRetry,
    kSaving,  // the whole body is in; the file is being put in place
    kDone,
    kFailed,
    kStopped,
  };

  SongDownloadJob(SongTask task, LinkSource& links, DownloadPolicies policies = {},
                  QObject* parent = nullptr);
  // Aborts a running transfer and waits for its thread; its partial file is kept for a later
  // try as after a stop.
  ~SongDownloadJob() override;

  const SongTask& Task() const { return task_; }
  State GetState() const { return state_; }
  bool Ended() const;
  // What the link source answered; empty before Resolved and for a skipped song.
  const LinkAnswer& Link() const { return link_; }
  // Whether the transfer has started; a job stopped before that never fetched anything.
  bool TransferBegun() const { return transfer_begun_; }

  // Asks the link source for the song's link; Resolved follows. A song saved before asks for
  // nothing.
  void Resolve();
  // Fetches the file once the link is known, at once when it is; a song whose page offered no
  // link ends failed instead, a song saved before ends skipped.
  void Transfer();
  // Resolve, then fetch as soon as the link is there.
  void Start();
  // Ends the job as stopped with `reason`: a pending link request is dropped, a running
  // transfer is cut at once, a wait for the next try ends. A song whose file is being put in
  // place is stopped only before it takes its name; after that it ends saved. Finished follows;
  // nothing for a job that has ended. Safe from a receiver of any of the job's signals.
  void Stop(const QString& reason = StoppedReason());

 signals:
  void Resolved();
  // One per try: its transfer began and ended.
  void TransferStarted();
  void Progress(const mevra::download::TransferProgress& progress);
  void TransferEnded();
  // A try failed and retry `retry` of `retries` follows after `wait_ms`.
  void RetryWaiting(int retry, int retries, qint64 wait_ms);
  void Finished(const mevra::download::JobResult& result);

 private:
  void LinkAnswered(const LinkAnswer& answer);
  void BeginTransfer();
  void StartAttempt();
  void WorkerProgress(const TransferProgress& progress);
  void WorkerFinished(const TransferWorker::Result& result);
  // Whether the song is there already by the policies: its name under "skip", or the archive
  // with a file of the size it recorded.
  bool AlreadySaved();
  // The song's file name without extension, as the save folder's file system takes it.
  QString BaseName();
  // The file the song would be saved as, before the "_new" rule.
  QString BaseTargetPath();
  // Claims the part file for `target`: one of this song's own that a try left, else a name no
  // other song's partial file holds. Empty when every name is taken.
  QString ClaimPartPath(const QString& target);
  void ReleasePartPath();
  // Keeps the part file (and the record the transfer wrote beside it) for a later try, or
  // removes it when it holds nothing or belongs to the preview.
  void KeepPartFile();
  // Removes the part file of an unfinished body, with its record, and gives its name up.
  void DiscardPartFile();
  void EmitProgress();
  // Ends the job: the state and the Finished signal, from the event loop.
  void End(State state, const JobResult& result);

  SongTask task_;
  LinkSource& links_;
  DownloadPolicies policies_;
  State state_ = State::kCreated;
  bool transfer_wanted_ = false;
  bool transfer_begun_ = false;
  bool stop_requested_ = false;
  QString stop_reason_;
  bool skip_ = false;
  LinkSource::Ticket ticket_ = 0;
  bool ticket_open_ = false;
  LinkAnswer link_;
  QString base_name_;  // empty until first asked for
  QString part_path_;
  // Where the part file's bytes came from, as its record says; the transfer brings it up to
  // date once a response head is in.
  PartFileInfo record_;
  // The part file's bytes at the start of the try.
  int64_t resume_from_ = 0;
  // What the try's transfer found, handed over when its thread has ended: the record as the
  // response head left it, and how the song was put in place.
  std::shared_ptr<PartFileInfo> attempt_record_;
  std::shared_ptr<std::optional<JobResult>> saved_;
  int retries_made_ = 0;
  std::unique_ptr<TransferWorker> worker_;
  TransferProgress progress_;
  SpeedMeter speed_;
  QElapsedTimer clock_;
  // While the transfer runs, the speed is looked at twice a second, so a stalled transfer
  // shows its speed falling even when no bytes come to report.
  QTimer speed_timer_;
  QTimer retry_timer_;
};

}  // namespace mevra::download
