#include "download/song_download_job.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "download/download_archive.h"
#include "download/file_naming.h"
#include "download/folder_name_rules.h"
#include "download/limits.h"
#include "download/part_file_info.h"
#include "download/song_saver.h"
#include "download/transfer_failure.h"
#include "net/net_error.h"

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

QString SongDownloadJob::BaseName() {
  if (base_name_.isEmpty()) {
    const NameRules rules = FolderNameRules(task_.save_folder);
    base_name_ =
        task_.naming == NamingScheme::kTemplate
            ? TemplateBaseName(task_.name_template,
                               {task_.title, task_.singer, task_.id, task_.rate, task_.page}, rules)
            : SongBaseName(task_.naming, task_.title, task_.singer, rules);
  }
  return base_name_;
}

QString SongDownloadJob::BaseTargetPath() {
  return task_.save_folder + QLatin1Char('/') + BaseName() + QStringLiteral(".mp3");
}

bool SongDownloadJob::AlreadySaved() {
  if (!task_.fixed_path.isEmpty()) return false;
  if (policies_.existing_file == ExistingFilePolicy::kSkip && QFileInfo::exists(BaseTargetPath()))
    return true;
  if (policies_.archive) {
    // An empty file, or one of another size than was saved, is no saved song: a crash or
    // another program left it so.
    const QString saved = policies_.archive->SavedPath(task_.id, task_.rate);
    const int64_t size = policies_.archive->SavedSize(task_.id, task_.rate);
    const QFileInfo file(saved);
    if (!saved.isEmpty() && file.isFile() && file.size() > 0 && (size < 0 || file.size() == size))
      return true;
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
  if (state_ == State::kTransferring || state_ == State::kSaving) {
    // The worker's end comes back through WorkerFinished, which keeps the part file. Without a
    // worker the stop comes from a receiver of its end, which looks at the stop next.
    if (worker_) worker_->Abort();
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
  // A size box that holds no number could not judge the file; nothing is fetched for it.
  if (task_.fixed_path.isEmpty() && task_.filter.enabled &&
      !SizeFilterRemoves(0, task_.filter.megabytes)) {
    End(State::kFailed, {RowStatus::kFailed, FilterSizeNotANumberReason(), {}});
    return;
  }
  // A template's folders are made as the song needs them.
  if (task_.fixed_path.isEmpty()) {
    const QString folder = QFileInfo(BaseTargetPath()).absolutePath();
    if (!QDir().mkpath(folder)) {
      End(State::kFailed,
          {RowStatus::kFailed,
           SaveFailedReason(
               QCoreApplication::translate("RowStatus", "无法创建文件夹%1").arg(folder)),
           {}});
      return;
    }
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
  StartAttempt();
}

void SongDownloadJob::StartAttempt() {
  state_ = State::kTransferring;
  transfer_begun_ = true;
  const bool preview = !task_.fixed_path.isEmpty();
  // A try continues whatever the tries before it left, as long as something tells that the
  // server still has the same file; the preview always starts afresh.
  resume_from_ =
      preview || !record_.CanContinue() ? 0 : std::max<qint64>(QFileInfo(part_path_).size(), 0);
  // A partial file as long as the whole cannot be continued: the server would refuse the range.
  if (record_.complete_length >= 0 && resume_from_ >= record_.complete_length) resume_from_ = 0;
  progress_ = {};
  progress_.bytes_done = resume_from_;
  speed_ = SpeedMeter();
  clock_.start();
  speed_.Add(0, resume_from_);

  TransferWorker::Request request;
  request.url = link_.url.toStdString();
  request.file_path = QFile::encodeName(part_path_).toStdString();
  request.resume_from = resume_from_;
  request.expected_length = record_.complete_length;
  request.if_range = record_.IfRange().toStdString();
  request.free_space_margin = preview ? -1 : policies_.free_space_margin;
  request.limiter = policies_.rate_limiter;
  request.space = policies_.space;
  request.ca_file = QFile::encodeName(task_.ca_file).toStdString();
  request.proxy = task_.proxy;
  request.stall_timeout_ms = policies_.stall_timeout_ms;

  // The record is written on the worker as soon as the response head is in, before a byte of
  // the body; a record that cannot be written fails the try, since its bytes could never be
  // continued.
  attempt_record_ = std::make_shared<PartFileInfo>(record_);
  attempt_record_->link = LinkIdentity(link_.url);
  TransferWorker::HeadHandler on_head;
  if (!preview) {
    on_head = [record = attempt_record_, path = part_path_](const TransferWorker::Head& head) {
      record->complete_length = head.complete_length;
      record->etag = QString::fromStdString(head.etag);
      record->last_modified = QString::fromStdString(head.last_modified);
      QString error;
      if (!record->Write(path, &error)) {
        throw net::StreamError("Cannot write file '" +
                               QFile::encodeName(PartFileInfo::InfoPath(path)).toStdString() +
                               "': " + error.toStdString());
      }
    };
  }
  saved_ = std::make_shared<std::optional<JobResult>>();
  auto saver =
      std::make_shared<SongSaver>(task_, policies_, part_path_, BaseName(), attempt_record_->link);
  saver->SetExtrasSource(link_.cover_url, link_.lyrics_url);
  // The worker's news comes back as queued calls; one still queued when the job goes is dropped
  // with it.
  TransferWorker::CompleteHandler on_complete =
      [this, saver, saved = saved_](PartFileStream& file, const std::atomic<bool>& stopped) {
        QMetaObject::invokeMethod(
            this,
            [this] {
              if (state_ == State::kTransferring) state_ = State::kSaving;
            },
            Qt::QueuedConnection);
        *saved = saver->Save(file, stopped);
        return saved->has_value();
      };
  worker_ = std::make_unique<TransferWorker>(
      std::move(request),
      [this](const TransferProgress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { WorkerProgress(progress); }, Qt::QueuedConnection);
      },
      [this](const TransferWorker::Result& result) {
        QMetaObject::invokeMethod(
            this, [this, result] { WorkerFinished(result); }, Qt::QueuedConnection);
      },
      std::move(on_head), std::move(on_complete));
  saver->SetAbortLatch(worker_->Latch());
  emit TransferStarted();
  if (state_ != State::kTransferring) return;
  // A receiver stopped the job before its transfer began: nothing was fetched.
  if (stop_requested_) {
    worker_.reset();
    emit TransferEnded();
    KeepPartFile();
    End(State::kStopped, {RowStatus::kStopped, stop_reason_, {}});
    return;
  }
  worker_->Start();
}

void SongDownloadJob::WorkerProgress(const TransferProgress& progress) {
  if (state_ != State::kTransferring && state_ != State::kSaving) return;
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
  if (state_ != State::kTransferring && state_ != State::kSaving) return;
  worker_.reset();  // its thread has reported its end; this only joins it
  speed_timer_.stop();
  // The worker has ended, so what it left is safe to read here.
  if (attempt_record_) record_ = *attempt_record_;
  if (result.complete_length >= 0) record_.complete_length = result.complete_length;
  emit TransferEnded();

  using Outcome = TransferWorker::Result::Outcome;
  // A song put in place is saved, whatever came after; the saver has left its files as they
  // should be.
  if (result.outcome == Outcome::kComplete) {
    ReleasePartPath();
    const JobResult saved = saved_ && saved_->has_value()
                                ? **saved_
                                : JobResult{RowStatus::kFailed, SaveFailedReason({}), {}};
    End(saved.status == RowStatus::kFailed ? State::kFailed : State::kDone, saved);
    return;
  }
  if (stop_requested_ || result.outcome == Outcome::kAborted) {
    KeepPartFile();
    End(State::kStopped,
        {RowStatus::kStopped, stop_requested_ ? stop_reason_ : StoppedReason(), {}});
    return;
  }
  const QString message = QString::fromStdString(result.message);
  JobResult failed{RowStatus::kFailed, {}, {}};
  switch (result.outcome) {
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
    case Outcome::kPartLocked:
      failed.reason = PartLockedReason();
      break;
    case Outcome::kNotAudio:
      failed.reason = NotAudioReason(QString::fromStdString(result.content_type).trimmed());
      break;
    case Outcome::kHttpStatus:
      // The status line the server sent says it best; a refused range says what it was for.
      failed.reason = QString::fromStdString(result.response_text);
      if (result.http_code == 416 && resume_from_ > 0) {
        failed.reason = ResumeFailedReason(failed.reason);
      }
      break;
    case Outcome::kProxyError:
      failed.reason = ProxyFailedReason(message);
      break;
    case Outcome::kTransferError:
      failed.reason =
          result.stalled
              ? StalledReason(static_cast<int>((policies_.stall_timeout_ms + 999) / 1000))
              : message;
      break;
    case Outcome::kComplete:
    case Outcome::kAborted:
      break;
  }
  failed.reason = OneLine(failed.reason);

  if (result.transient && retries_made_ < policies_.retries) {
    ++retries_made_;
    // The server's Retry-After is a least wait, never a reason to try sooner than the back-off.
    const int64_t wait =
        std::min(std::max(result.retry_after_ms.value_or(0),
                          BackoffMs(retries_made_, policies_.retry_backoff_base_ms)),
                 kMaxRetryWaitMs);
    // The part file stays this song's while it waits.
    state_ = State::kWaitingRetry;
    retry_timer_.start(static_cast<int>(wait));
    emit RetryWaiting(retries_made_, policies_.retries, wait);
    return;
  }
  // Another program's partial file is left to it, untouched.
  if (result.outcome == Outcome::kPartLocked) {
    ReleasePartPath();
  } else if (result.transient || result.outcome == Outcome::kNotEnoughSpace) {
    // What a passing failure left may be continued by a later batch; a disk without room for
    // the file keeps what came before, since nothing of this try was written. Everything else
    // is of no use.
    KeepPartFile();
  } else {
    DiscardPartFile();
  }
  End(State::kFailed, failed);
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
  const PartFileInfo source{task_.id, task_.rate, LinkIdentity(link_.url)};
  record_ = source;
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
      record_ = *info;
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

void SongDownloadJob::KeepPartFile() {
  if (part_path_.isEmpty()) return;
  if (!task_.fixed_path.isEmpty() || QFileInfo(part_path_).size() <= 0) {
    DiscardPartFile();
    return;
  }
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
