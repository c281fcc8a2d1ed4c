#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "download/job_result.h"
#include "download/link_source.h"
#include "download/song_task.h"
#include "download/speed_meter.h"
#include "download/transfer_progress.h"
#include "download/transfer_worker.h"

namespace mevra::download {

// One song's download as a job: its link is asked for, its file streams into a ".part" file
// beside its final name on a worker thread, and is then renamed to the name the naming rules give
// at that moment and put through the small-file filter. Progress comes as signals at most 20 times
// a second; the end comes once, as the row's final status. Every signal is emitted from the event
// loop, never inside a call to the job, so a receiver may call back into the job or delete it
// later (deleteLater) from a slot.
//
// Nothing named like a finished song ever holds a partial body: a failed or stopped transfer
// leaves no file behind.
class SongDownloadJob : public QObject {
  Q_OBJECT

 public:
  enum class State {
    kCreated,
    kResolving,
    kResolved,  // the link (or the reason there is none) is known; waiting for Transfer
    kTransferring,
    kSaving,
    kFiltering,
    kDone,
    kFailed,
    kStopped,
  };

  SongDownloadJob(SongTask task, LinkSource& links, QObject* parent = nullptr);
  // Aborts a running transfer, waits for its thread and removes its partial file.
  ~SongDownloadJob() override;

  const SongTask& Task() const { return task_; }
  State GetState() const { return state_; }
  bool Ended() const;
  // What the link source answered; empty before Resolved.
  const LinkAnswer& Link() const { return link_; }
  // Whether the transfer has started; a job stopped before that never fetched anything.
  bool TransferBegun() const { return transfer_begun_; }

  // Asks the link source for the song's link; Resolved follows.
  void Resolve();
  // Fetches the file once the link is known, at once when it is; a song whose page offered no
  // link ends failed instead.
  void Transfer();
  // Resolve, then fetch as soon as the link is there.
  void Start();
  // Ends the job as stopped: a pending link request is dropped, a running transfer is cut at
  // once and its partial file removed. Finished follows; nothing for a job that has ended.
  void Stop();

 signals:
  void Resolved();
  void TransferStarted();
  void Progress(const mevra::download::TransferProgress& progress);
  void TransferEnded();
  void Finished(const mevra::download::JobResult& result);

 private:
  void LinkAnswered(const LinkAnswer& answer);
  void BeginTransfer();
  void WorkerProgress(const TransferProgress& progress);
  void WorkerFinished(const TransferWorker::Result& result);
  // Renames the complete part file to its final name and applies the filter.
  JobResult Save();
  // Claims a part file name that no other running job uses.
  QString ClaimPartPath(const QString& target);
  void ReleasePartPath();
  // Removes the part file of an unfinished body and gives its name up.
  void DiscardPartFile();
  void EmitProgress();
  // Ends the job: the state and the Finished signal, from the event loop.
  void End(State state, const JobResult& result);

  SongTask task_;
  LinkSource& links_;
  State state_ = State::kCreated;
  bool transfer_wanted_ = false;
  bool transfer_begun_ = false;
  bool stop_requested_ = false;
  LinkSource::Ticket ticket_ = 0;
  bool ticket_open_ = false;
  LinkAnswer link_;
  QString part_path_;
  std::unique_ptr<TransferWorker> worker_;
  TransferProgress progress_;
  SpeedMeter speed_;
  QElapsedTimer clock_;
  // While the transfer runs, the speed is looked at twice a second, so a stalled transfer
  // shows its speed falling even when no bytes come to report.
  QTimer speed_timer_;
};

}  // namespace mevra::download
