#include "download/song_download_job.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>

#include "download/download_archive.h"
#include "download/file_naming.h"
#include "download/limits.h"
#include "download/part_file_info.h"
#include "download/tag_writer.h"
#include "download/transfer_failure.h"

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

QString SystemText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// The speed is looked at this often while no bytes of a begun body arrive.
constexpr int kSpeedRefreshMs = 500;

}  // namespace

SongDownloadJob::SongDownloadJob(SongTask task, LinkSource& links, DownloadPolicies policies,
                                 QObject* parent)
    : QObject(parent), task_(std::move(task)), links_(links), policies_(std::move(policies)) {
  speed_timer_.setInterval(kSpeedRefreshMs);
  connect(&speed_timer_, &QTimer::timeout, this, [this] {
    speed_.Add(clock_.elapsed(), progress_.bytes_done);
    EmitProgress();
  });
  retry_timer_.setSingleShot(true);
  connect(&retry_timer_, &QTimer::timeout, this, [this] {
    if (state_ == State::kWaitingRetry) StartAttempt();
  });
}

SongDownloadJob::~SongDownloadJob() {
  if (ticket_open_) links_.Cancel(ticket_);
  // The worker aborts and is joined before its part file is looked at.
  worker_.reset();
  KeepPartFile();
}

bool SongDownloadJob::Ended() const {
  return state_ == State::kDone || state_ == State::kFailed || state_ == State::kStopped;
}

QString SongDownloadJob::BaseTargetPath() const {
  return task_.save_folder + QLatin1Char('/') +
         SafeFileName(SongFileName(task_.naming, task_.title, task_.singer)) +
         QStringLiteral(".mp3");
}

bool SongDownloadJob::AlreadySaved() const {
  if (!task_.fixed_path.isEmpty()) return false;
  if (policies_.existing_file == ExistingFilePolicy::kSkip && QFileInfo::exists(BaseTargetPath()))
    return true;
  if (policies_.archive) {
    const QString saved = policies_.archive->SavedPath(task_.id, task_.rate);
    if (!saved.isEmpty() && QFileInfo::exists(saved)) return true;
  }
  return false;
}

void SongDownloadJob::Resolve() {
  if (state_ != State::kCreated) return;
  state_ = State::kResolving;
  if (AlreadySaved()) {
    // Not even the song's page is asked for; the answer comes from the event loop all the same.
    skip_ = true;
    QMetaObject::invokeMethod(
        this, [this] { LinkAnswered({}); }, Qt::QueuedConnection);
    return;
  }
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

void SongDownloadJob::Stop(const QString& reason) {
  if (Ended() || stop_requested_) return;
  stop_requested_ = true;
  stop_reason_ = reason;
  if (state_ == State::kTransferring) {
    // The worker's end comes back through WorkerFinished, which keeps the part file.
    worker_->Abort();
    return;
  }
  retry_timer_.stop();
  if (ticket_open_) {
    links_.Cancel(ticket_);
    ticket_open_ = false;
  }
  KeepPartFile();
  End(State::kStopped, {RowStatus::kStopped, stop_reason_, {}});
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
  // An earlier song of the batch may have saved this one meanwhile.
  if (skip_ || AlreadySaved()) {
    End(State::kDone, {RowStatus::kSkipped, {}, {}});
    return;
  }
  if (!link_.found) {
    End(State::kFailed, {RowStatus::kFailed, link_.reason, {}});
    return;
  }
  // The part file lies beside the name the song would get now; the final name is decided when
  // the body is complete, since another song may take this one meanwhile.
  part_path_ = ClaimPartPath(task_.fixed_path.isEmpty() ? BaseTargetPath() : task_.fixed_path);
  if (part_path_.isEmpty()) {
    End(State::kFailed,
        {RowStatus::kFailed,
         SaveFailedReason(QCoreApplication::translate("RowStatus", "同名的未完成文件太多")),
         {}});
    return;
  }
  WritePartInfo();
  StartAttempt();
}

void SongDownloadJob::StartAttempt() {
  state_ = State::kTransferring;
  transfer_begun_ = true;
  // A try continues whatever the tries before it left; the preview always starts afresh.
  resume_from_ = task_.fixed_path.isEmpty() ? std::max<qint64>(QFileInfo(part_path_).size(), 0) : 0;
  // A partial file as long as the whole cannot be continued: the server would refuse the range.
  if (expected_length_ >= 0 && resume_from_ >= expected_length_) resume_from_ = 0;
  progress_ = {};
  progress_.bytes_done = resume_from_;
  speed_ = SpeedMeter();
  clock_.start();
  speed_.Add(0, resume_from_);

  TransferWorker::Request request;
  request.url = link_.url.toStdString();
  request.file_path = QFile::encodeName(part_path_).toStdString();
  request.resume_from = resume_from_;
  request.expected_length = expected_length_;
  request.free_space_margin = task_.fixed_path.isEmpty() ? policies_.free_space_margin : -1;
  request.limiter = policies_.rate_limiter;
  request.ca_file = QFile::encodeName(task_.ca_file).toStdString();
  // The worker's news comes back as queued calls; one still queued when the job goes is dropped
  // with it.
  worker_ = std::make_unique<TransferWorker>(
      std::move(request),
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
  // A server that sends the whole file instead of the rest starts the count again.
  if (progress.bytes_done < progress_.bytes_done) {
    speed_ = SpeedMeter();
    speed_.Add(clock_.elapsed(), progress.bytes_done);
  }
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
  if (result.complete_length >= 0) expected_length_ = result.complete_length;
  emit TransferEnded();

  using Outcome = TransferWorker::Result::Outcome;
  if (stop_requested_ || result.outcome == Outcome::kAborted) {
    KeepPartFile();
    End(State::kStopped,
        {RowStatus::kStopped, stop_requested_ ? stop_reason_ : StoppedReason(), {}});
    return;
  }
  const QString message = QString::fromStdString(result.message);
  JobResult failed{RowStatus::kFailed, {}, {}};
  switch (result.outcome) {
    case Outcome::kComplete: {
      state_ = State::kSaving;
      const JobResult saved = Save();
      End(saved.status == RowStatus::kFailed ? State::kFailed : State::kDone, saved);
      return;
    }
    case Outcome::kFileError:
      failed.reason = SaveFailedReason(message);
      break;
    case Outcome::kDiskFull:
    case Outcome::kNotEnoughSpace:
      failed.reason = DiskFullReason();
      failed.out_of_space = true;
      break;
    case Outcome::kRangeMismatch:
      failed.reason = ResumeFailedReason(message);
      break;
    case Outcome::kHttpStatus:
      // The status line the server sent says it best; a refused range says what it was for.
      failed.reason = QString::fromStdString(result.response_text);
      if (result.http_code == 416 && resume_from_ > 0) {
        failed.reason = ResumeFailedReason(failed.reason);
      }
      break;
    case Outcome::kAborted:
    case Outcome::kTransferError:
      failed.reason = message;
      break;
  }
  failed.reason = OneLine(failed.reason);

  if (result.transient && retries_made_ < policies_.retries) {
    ++retries_made_;
    const int64_t wait = result.retry_after_ms
                             ? std::min(*result.retry_after_ms, kMaxRetryWaitMs)
                             : BackoffMs(retries_made_, policies_.retry_backoff_base_ms);
    // The part file stays this song's while it waits; its record is brought up to date.
    WritePartInfo();
    state_ = State::kWaitingRetry;
    retry_timer_.start(static_cast<int>(wait));
    emit RetryWaiting(retries_made_, policies_.retries, wait);
    return;
  }
  // What a passing failure left may be continued by a later batch; a disk without room for the
  // file keeps what came before, since nothing of this try was written. Everything else is of
  // no use.
  if (result.transient || result.outcome == Outcome::kNotEnoughSpace) {
    KeepPartFile();
  } else {
    DiscardPartFile();
  }
  End(State::kFailed, failed);
}

JobResult SongDownloadJob::Save() {
  const bool preview = !task_.fixed_path.isEmpty();
  const QString base = preview ? task_.fixed_path : BaseTargetPath();
  // The "_new" rule looks at the folder now, after every song saved before this one.
  const QString target =
      !preview && policies_.existing_file == ExistingFilePolicy::kRename
          ? SongSavePath(task_.save_folder,
                         SafeFileName(SongFileName(task_.naming, task_.title, task_.singer)),
                         task_.rate, [](const QString& path) { return QFileInfo::exists(path); })
          : base;
  // Tags go in before the rename, so the finished name never holds a file being rewritten.
  if (!preview && policies_.write_tags) WriteMissingTags(part_path_, task_.title, task_.singer);

  const QByteArray from = QFile::encodeName(part_path_);
  const QByteArray to = QFile::encodeName(target);
  // A plain rename replaces a file of the final name in one step, as "overwrite" and the "_new"
  // rule's second collision want. Under "skip" a file that appeared meanwhile is never
  // replaced.
  const bool no_replace = !preview && policies_.existing_file == ExistingFilePolicy::kSkip;
  const int renamed = no_replace ? ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                                               RENAME_NOREPLACE)
                                 : std::rename(from.constData(), to.constData());
  if (renamed != 0) {
    const int code = errno;
    DiscardPartFile();
    if (no_replace && code == EEXIST) return {RowStatus::kSkipped, {}, {}};
    return {RowStatus::kFailed, SaveFailedReason(SystemText(code)), {}};
  }
  PartFileInfo::Remove(part_path_);
  ReleasePartPath();

  JobResult result{RowStatus::kSucceeded, {}, target};
  if (!preview && task_.filter.enabled) {
    state_ = State::kFiltering;
    const std::optional<bool> removes =
        SizeFilterRemoves(QFileInfo(target).size(), task_.filter.megabytes);
    // The saved file stays when the size box holds no number; only the row says so.
    if (!removes) return {RowStatus::kFailed, FilterSizeNotANumberReason(), {}};
    if (*removes) {
      QFile::remove(target);
      return {RowStatus::kFiltered, {}, {}};
    }
  }
  // Recorded once the file is there for good; a record that cannot be written costs the song
  // nothing, only its skipping next time.
  if (!preview && policies_.archive) policies_.archive->Add(task_.id, task_.rate, target);
  return result;
}

QString SongDownloadJob::ClaimPartPath(const QString& target) {
  QSet<QString>& claimed = ClaimedPartPaths();
  if (!task_.fixed_path.isEmpty()) {
    // The preview's file is its own; it never continues anything.
    for (int slot = 0;; ++slot) {
      const QString path = PartFilePath(target, slot);
      if (!claimed.contains(path)) {
        claimed.insert(path);
        return path;
      }
    }
  }
  const PartFileInfo source{task_.id, task_.rate, LinkIdentity(link_.url), -1};
  QString fresh;
  for (int slot = 0; slot < kMaxPartFilesPerName; ++slot) {
    const QString path = PartFilePath(target, slot);
    if (claimed.contains(path)) continue;
    if (!QFileInfo::exists(path)) {
      if (fresh.isEmpty()) fresh = path;
      continue;
    }
    // Another song's partial file, or one whose source is unknown, is left alone.
    const std::optional<PartFileInfo> info = PartFileInfo::Read(path);
    if (info && info->SameSource(source)) {
      claimed.insert(path);
      expected_length_ = info->complete_length;
      return path;
    }
  }
  if (!fresh.isEmpty()) claimed.insert(fresh);
  return fresh;
}

void SongDownloadJob::ReleasePartPath() {
  if (part_path_.isEmpty()) return;
  ClaimedPartPaths().remove(part_path_);
  part_path_.clear();
}

void SongDownloadJob::WritePartInfo() const {
  if (part_path_.isEmpty() || !task_.fixed_path.isEmpty()) return;
  PartFileInfo{task_.id, task_.rate, LinkIdentity(link_.url), expected_length_}.Write(part_path_);
}

void SongDownloadJob::KeepPartFile() {
  if (part_path_.isEmpty()) return;
  if (!task_.fixed_path.isEmpty() || QFileInfo(part_path_).size() <= 0) {
    DiscardPartFile();
    return;
  }
  WritePartInfo();
  ReleasePartPath();
}

void SongDownloadJob::DiscardPartFile() {
  if (part_path_.isEmpty()) return;
  QFile::remove(part_path_);
  PartFileInfo::Remove(part_path_);
  ReleasePartPath();
}

void SongDownloadJob::End(State state, const JobResult& result) {
  state_ = state;
  speed_timer_.stop();
  retry_timer_.stop();
  QMetaObject::invokeMethod(
      this, [this, result] { emit Finished(result); }, Qt::QueuedConnection);
}

}  // namespace mevra::download
