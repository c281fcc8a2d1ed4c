#include "download/song_download_job.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "download/file_naming.h"

namespace mevra::download {
namespace {

// The part files of the transfers running now, so that two songs bound for the same name at
// once never write into one file. Jobs live on the GUI thread only.
QSet<QString>& ClaimedPartPaths() {
  static QSet<QString> claimed;
  return claimed;
}

// Transport messages put a line break between a code and its text; a status is one line.
QString OneLine(const QString& text) {
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return line.trimmed();
}

// The speed is looked at this often while no bytes of a begun body arrive.
constexpr int kSpeedRefreshMs = 500;

}  // namespace

SongDownloadJob::SongDownloadJob(SongTask task, LinkSource& links, QObject* parent)
    : QObject(parent), task_(std::move(task)), links_(links) {
  speed_timer_.setInterval(kSpeedRefreshMs);
  connect(&speed_timer_, &QTimer::timeout, this, [this] {
    speed_.Add(clock_.elapsed(), progress_.bytes_done);
    EmitProgress();
  });
}

SongDownloadJob::~SongDownloadJob() {
  if (ticket_open_) links_.Cancel(ticket_);
  // The worker aborts and is joined before the part file it writes is removed.
  worker_.reset();
  DiscardPartFile();
}

bool SongDownloadJob::Ended() const {
  return state_ == State::kDone || state_ == State::kFailed || state_ == State::kStopped;
}

void SongDownloadJob::Resolve() {
  if (state_ != State::kCreated) return;
  state_ = State::kResolving;
  ticket_open_ = true;
  ticket_ = links_.Request(task_.id, task_.rate,
                           [this](const LinkAnswer& answer) { LinkAnswered(answer); });
}

void SongDownloadJob::Transfer() {
  if (Ended()) return;
  transfer_wanted_ = true;
  if (state_ == State::kCreated) {
    Resolve();
  } else if (state_ == State::kResolved) {
    BeginTransfer();
  }
}

void SongDownloadJob::Start() { Transfer(); }

void SongDownloadJob::Stop() {
  if (Ended() || stop_requested_) return;
  stop_requested_ = true;
  if (state_ == State::kTransferring) {
    // The worker's end comes back through WorkerFinished, which removes the part file.
    worker_->Abort();
    return;
  }
  if (ticket_open_) {
    links_.Cancel(ticket_);
    ticket_open_ = false;
  }
  End(State::kStopped, {RowStatus::kStopped, StoppedReason(), {}});
}

void SongDownloadJob::LinkAnswered(const LinkAnswer& answer) {
  ticket_open_ = false;
  if (state_ != State::kResolving) return;
  link_ = answer;
  state_ = State::kResolved;
  emit Resolved();
  // A receiver of Resolved may have started the transfer or stopped the job already.
  if (transfer_wanted_ && state_ == State::kResolved) BeginTransfer();
}

void SongDownloadJob::BeginTransfer() {
  if (!link_.found) {
    End(State::kFailed, {RowStatus::kFailed, link_.reason, {}});
    return;
  }
  // The part file lies beside the name the song would get now; the final name is decided when
  // the body is complete, since another song may take this one meanwhile.
  const QString target =
      task_.fixed_path.isEmpty()
          ? task_.save_folder + QLatin1Char('/') +
                SafeFileName(SongFileName(task_.naming, task_.title, task_.singer)) +
                QStringLiteral(".mp3")
          : task_.fixed_path;
  part_path_ = ClaimPartPath(target);
  state_ = State::kTransferring;
  transfer_begun_ = true;
  progress_ = {};
  speed_ = SpeedMeter();
  clock_.start();
  speed_.Add(0, 0);

  // The worker's news comes back as queued calls; one still queued when the job goes is dropped
  // with it.
  worker_ = std::make_unique<TransferWorker>(
      link_.url.toStdString(), QFile::encodeName(part_path_).toStdString(),
      QFile::encodeName(task_.ca_file).toStdString(),
      [this](const TransferProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { WorkerProgress(progress); }, Qt::QueuedConnection);
      },
      [this](const TransferWorker::Result& result) {
        QMetaObject::invokeMethod(
            this, [this, result] { WorkerFinished(result); }, Qt::QueuedConnection);
      });
  emit TransferStarted();
  if (state_ != State::kTransferring) return;
  worker_->Start();
}

void SongDownloadJob::WorkerProgress(const TransferProgress& progress) {
  if (state_ != State::kTransferring) return;
  progress_ = progress;
  speed_.Add(clock_.elapsed(), progress_.bytes_done);
  EmitProgress();
  // The speed is refreshed only once the body has begun: before that there is no total yet, and
  // a refresh would show the row as a transfer of unknown length.
  if (!speed_timer_.isActive()) speed_timer_.start();
}

void SongDownloadJob::EmitProgress() {
  progress_.bytes_per_second = speed_.BytesPerSecond();
  emit Progress(progress_);
}

void SongDownloadJob::WorkerFinished(const TransferWorker::Result& result) {
  if (state_ != State::kTransferring) return;
  worker_.reset();  // its thread has reported its end; this only joins it
  speed_timer_.stop();
  emit TransferEnded();

  using Outcome = TransferWorker::Result::Outcome;
  if (stop_requested_ || result.outcome == Outcome::kAborted) {
    DiscardPartFile();
    End(State::kStopped, {RowStatus::kStopped, StoppedReason(), {}});
    return;
  }
  QString reason;
  switch (result.outcome) {
    case Outcome::kComplete: {
      state_ = State::kSaving;
      const JobResult saved = Save();
      End(saved.status == RowStatus::kFailed ? State::kFailed : State::kDone, saved);
      return;
    }
    case Outcome::kFileError:
      reason = SaveFailedReason(QString::fromStdString(result.message));
      break;
    case Outcome::kHttpStatus:
      // The status line the server sent says it best.
      reason = QString::fromStdString(result.response_text);
      break;
    case Outcome::kAborted:
    case Outcome::kTransferError:
      reason = QString::fromStdString(result.message);
      break;
  }
  DiscardPartFile();
  End(State::kFailed, {RowStatus::kFailed, OneLine(reason), {}});
}

JobResult SongDownloadJob::Save() {
  // The "_new" rule looks at the folder now, after every song saved before this one.
  const QString target =
      task_.fixed_path.isEmpty()
          ? SongSavePath(task_.save_folder,
                         SafeFileName(SongFileName(task_.naming, task_.title, task_.singer)),
                         task_.rate, [](const QString& path) { return QFileInfo::exists(path); })
          : task_.fixed_path;
  // A plain rename replaces a file of the final name, as the "_new" rule wants for its second
  // collision, and never leaves a half-written file under that name.
  if (std::rename(QFile::encodeName(part_path_).constData(),
                  QFile::encodeName(target).constData()) != 0) {
    const QString system_text = QString::fromLocal8Bit(std::strerror(errno));
    DiscardPartFile();
    return {RowStatus::kFailed, SaveFailedReason(system_text), {}};
  }
  ReleasePartPath();

  if (!task_.fixed_path.isEmpty() || !task_.filter.enabled) {
    return {RowStatus::kSucceeded, {}, target};
  }
  state_ = State::kFiltering;
  const std::optional<bool> removes =
      SizeFilterRemoves(QFileInfo(target).size(), task_.filter.megabytes);
  // The saved file stays when the size box holds no number; only the row says so.
  if (!removes) return {RowStatus::kFailed, FilterSizeNotANumberReason(), {}};
  if (*removes) {
    QFile::remove(target);
    return {RowStatus::kFiltered, {}, {}};
  }
  return {RowStatus::kSucceeded, {}, target};
}

QString SongDownloadJob::ClaimPartPath(const QString& target) {
  QSet<QString>& claimed = ClaimedPartPaths();
  for (int attempt = 0;; ++attempt) {
    const QString path = PartFilePath(target, attempt);
    if (!claimed.contains(path)) {
      claimed.insert(path);
      return path;
    }
  }
}

void SongDownloadJob::ReleasePartPath() {
  if (part_path_.isEmpty()) return;
  ClaimedPartPaths().remove(part_path_);
  part_path_.clear();
}

void SongDownloadJob::DiscardPartFile() {
  // One place decides what becomes of an unfinished body; for now it goes.
  if (!part_path_.isEmpty()) QFile::remove(part_path_);
  ReleasePartPath();
}

void SongDownloadJob::End(State state, const JobResult& result) {
  state_ = state;
  speed_timer_.stop();
  QMetaObject::invokeMethod(
      this, [this, result] { emit Finished(result); }, Qt::QueuedConnection);
}

}  // namespace mevra::download
