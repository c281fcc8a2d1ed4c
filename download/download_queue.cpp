#include "download/download_queue.h"

#include <QFileInfo>
#include <algorithm>

#include "download/limits.h"
#include "download/song_download_job.h"
#include "download/space_account.h"

namespace mevra::download {

struct DownloadQueue::Entry {
  SongDownloadJob* job = nullptr;  // a child of the queue, deleted later once it has ended
  bool started = false;            // its turn has come
};

DownloadQueue::DownloadQueue(LinkSource& links, QObject* parent) : QObject(parent), links_(links) {
  pump_timer_.setSingleShot(true);
  pump_timer_.setInterval(0);
  connect(&pump_timer_, &QTimer::timeout, this, &DownloadQueue::Pump);
}

DownloadQueue::~DownloadQueue() { DropAll(); }

void DownloadQueue::DropAll() {
  // Each job aborts and joins its transfer and removes its partial file as it goes.
  for (const std::unique_ptr<Entry>& entry : entries_) {
    entry->job->disconnect(this);
    delete entry->job;
  }
  entries_.clear();
}

void DownloadQueue::Start(std::unique_ptr<TaskList> tasks, int parallel, int expected) {
  DropAll();
  tasks_ = std::move(tasks);
  parallel_ = std::clamp(parallel, 1, kMaxParallelDownloads);
  running_ = true;
  stopping_ = false;
  end_ = BatchEnd::kFinished;
  list_ended_ = false;
  started_ = 0;
  saved_ = 0;
  progress_ = {};
  progress_.parallel = parallel_;
  progress_.expected = std::max(expected, 0);
  saved_bytes_ = 0;
  transfers_.clear();
  // The songs of one batch claim the room of their files in one account.
  space_ = policies_.space ? policies_.space : std::make_shared<SpaceAccount>();
  SchedulePump();
}

void DownloadQueue::StopAll() { Halt(BatchEnd::kStopped, StoppedReason()); }

void DownloadQueue::Halt(BatchEnd end, const QString& reason) {
  if (!running_ || stopping_) return;
  stopping_ = true;
  end_ = end;
  // Each job reports its end later, from the event loop; the batch ends with the last of them.
  for (const std::unique_ptr<Entry>& entry : entries_) entry->job->Stop(reason);
  SchedulePump();
}

void DownloadQueue::SchedulePump() {
  if (!pump_timer_.isActive()) pump_timer_.start();
}

void DownloadQueue::Pump() {
  if (!running_) return;
  if (!stopping_) {
    // Songs ahead of their turn: as many as there are slots, so the links of the next songs are
    // ready when slots free up.
    while (!list_ended_ && entries_.size() < static_cast<size_t>(2 * parallel_)) {
      std::optional<SongTask> task = tasks_->TakeNext();
      if (!task) {
        list_ended_ = true;
        break;
      }
      auto entry = std::make_unique<Entry>();
      DownloadPolicies policies = policies_;
      policies.space = space_;
      SongDownloadJob* job =
          new SongDownloadJob(std::move(*task), links_, std::move(policies), this);
      entry->job = job;
      const int key = job->Task().key;
      connect(job, &SongDownloadJob::Resolved, this, &DownloadQueue::SchedulePump);
      connect(job, &SongDownloadJob::TransferStarted, this, [this, key] {
        emit TransferStarted(key);
        TransferMoved(key, BatchProgress::Phase::kBegun, {});
      });
      connect(job, &SongDownloadJob::Progress, this, [this, key](const TransferProgress& progress) {
        emit TaskProgress(key, progress);
        TransferMoved(key, BatchProgress::Phase::kReceiving, progress);
      });
      connect(job, &SongDownloadJob::TransferEnded, this, [this, key] {
        emit TransferEnded(key);
        TransferMoved(key, BatchProgress::Phase::kEnded, {});
      });
      connect(job, &SongDownloadJob::RetryWaiting, this,
              [this, key](int retry, int retries, qint64 wait_ms) {
                emit TaskRetrying(key, retry, retries, wait_ms);
                EmitProgress();
              });
      connect(job, &SongDownloadJob::Finished, this,
              [this, job](const JobResult& result) { JobFinished(job, result); });
      entries_.push_back(std::move(entry));
      job->Resolve();
    }

    // Turns in list order while slots are free.
    int busy = static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e->started; }));
    for (size_t i = 0; i < entries_.size() && busy < parallel_;) {
      Entry& entry = *entries_[i];
      if (entry.started) {
        ++i;
        continue;
      }
      if (!tasks_->StillWanted(entry.job->Task(), false)) {
        Remove(entry.job);  // never touched anything of the caller's
        continue;
      }
      entry.started = true;
      ++busy;
      ++started_;
      emit TaskStarted(entry.job->Task().key);
      ++i;
    }

    // Transfers of started songs whose links are in.
    for (size_t i = 0; i < entries_.size();) {
      Entry& entry = *entries_[i];
      SongDownloadJob* job = entry.job;
      if (!entry.started || job->GetState() != SongDownloadJob::State::kResolved) {
        ++i;
        continue;
      }
      if (!tasks_->StillWanted(job->Task(), true)) {
        const int key = job->Task().key;
        Remove(job);
        emit TaskDropped(key);
        SongEnded(key, nullptr);
        SchedulePump();
        continue;
      }
      job->Transfer();
      ++i;
    }
    // Dropping made room; take the next songs in the next round.
    if (!list_ended_ && entries_.size() < static_cast<size_t>(2 * parallel_)) SchedulePump();
  }

  if (entries_.empty() && (list_ended_ || stopping_)) {
    running_ = false;
    tasks_.reset();
    emit BatchEnded(saved_, started_, end_);
  }
}

void DownloadQueue::JobFinished(SongDownloadJob* job, const JobResult& result) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [job](const auto& entry) { return entry->job == job; });
  if (it == entries_.end()) return;
  const bool started = (*it)->started;
  const int key = job->Task().key;
  Remove(job);
  if (started) {
    if (result.status == RowStatus::kSucceeded) ++saved_;
    emit TaskFinished(key, result);
    SongEnded(key, &result);
  }
  // A full disk fails every song after this one too; the batch stops with it.
  if (result.out_of_space) Halt(BatchEnd::kOutOfSpace, DiskFullStopReason());
  SchedulePump();
}

void DownloadQueue::TransferMoved(int key, BatchProgress::Phase phase,
                                  const TransferProgress& progress) {
  Running& running = transfers_[key];
  running.active = phase != BatchProgress::Phase::kEnded;
  // A new try starts from what the tries before it left, and so does its count.
  if (phase == BatchProgress::Phase::kReceiving) running.progress = progress;
  progress_.current_key = key;
  progress_.phase = phase;
  progress_.current = running.progress;
  EmitProgress();
}

void DownloadQueue::SongEnded(int key, const JobResult* result) {
  transfers_.erase(key);
  ++progress_.finished;
  if (result) {
    switch (result->status) {
      case RowStatus::kSucceeded:
        ++progress_.saved;
        saved_bytes_ += QFileInfo(result->saved_path).size();
        break;
      case RowStatus::kFiltered:
        ++progress_.filtered;
        break;
      case RowStatus::kSkipped:
        ++progress_.skipped;
        break;
      case RowStatus::kStopped:
        ++progress_.stopped;
        break;
      default:
        ++progress_.failed;
        break;
    }
  }
  if (progress_.current_key == key) {
    progress_.current_key = -1;
    progress_.current = {};
  }
  progress_.phase = BatchProgress::Phase::kNone;
  EmitProgress();
}

void DownloadQueue::EmitProgress() {
  progress_.expected = std::max(progress_.expected, progress_.finished);
  progress_.bytes = saved_bytes_;
  progress_.bytes_per_second = 0;
  progress_.running = 0;
  for (const auto& [key, running] : transfers_) {
    progress_.bytes += running.progress.bytes_done;
    if (!running.active) continue;
    progress_.bytes_per_second += running.progress.bytes_per_second;
    ++progress_.running;
  }
  BatchProgress shown = progress_;
  // Only a batch of one transfer at a time has a transfer of its own to show.
  if (parallel_ > 1) shown.phase = BatchProgress::Phase::kNone;
  emit BatchProgressed(shown);
}

void DownloadQueue::Remove(SongDownloadJob* job) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [job](const auto& entry) { return entry->job == job; });
  if (it == entries_.end()) return;
  entries_.erase(it);
  job->disconnect(this);
  // A job dropped before its end has fetched nothing; its link request goes with it.
  job->Stop();
  job->deleteLater();
}

}  // namespace mevra::download
