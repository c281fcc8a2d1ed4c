// The batch download and the progress display of the batch and the preview. The songs are
// fetched by the download queue; these handlers start it, stop it and show what it reports.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <algorithm>

#include "app/browser_link_source.h"
#include "app/main_window.h"
#include "app/song_status_delegate.h"
#include "app/transfer_text.h"
#include "download/download_archive.h"
#include "download/download_queue.h"
#include "download/file_naming.h"
#include "download/job_result.h"
#include "download/task_list.h"
#include "download/transfer_progress.h"
#include "widgets/progress_status.h"

namespace mevra::app {

using download::NamingScheme;
using download::RowStatus;

namespace {

// The ticked rows of the song list as the batch comes to them. Each song is read when its turn
// nears, with the choices as they stand then, so rows ticked or unticked meanwhile count as the
// user left them.
class BatchTaskList : public download::TaskList {
 public:
  using TaskOf = std::function<std::optional<download::SongTask>(int key)>;
  using RowOf = std::function<int(int key)>;

  BatchTaskList(int count, TaskOf task_of, RowOf row_of)
      : count_(count), task_of_(std::move(task_of)), row_of_(std::move(row_of)) {}

  std::optional<download::SongTask> TakeNext() override {
    while (next_ < count_) {
      if (std::optional<download::SongTask> task = task_of_(next_++)) return task;
    }
    return std::nullopt;
  }
  // A song whose transfer is about to begin is still wanted while its row exists: a cleared
  // list wants nothing more, but unticking a started row does not stop it.
  bool StillWanted(const download::SongTask& task, bool started) override {
    if (started) return row_of_(task.key) >= 0;
    return task_of_(task.key).has_value();
  }

 private:
  int count_;
  int next_ = 0;
  TaskOf task_of_;
  RowOf row_of_;
};

}  // namespace

void MainWindow::btn_downClick() {
  if (ui_.edt_saveto->text().trimmed().isEmpty()) {
    message_boxes_.Show(tr("请先选择音乐保存位置，再开始下载"), tr("提示"), MessageButtons::kOk,
                        MessageIcon::kNone);
    return;
  }
  // A size the filter cannot read would fail every song after fetching it; the user corrects
  // it first.
  if (ui_.chk_isFileterSize->isChecked() &&
      !download::SizeFilterRemoves(0, ui_.cbb_minsize->currentText()).has_value()) {
    message_boxes_.Show(tr("过滤大小不是数字，请填写以MB为单位的整数"), tr("提示"),
                        MessageButtons::kOk, MessageIcon::kNone);
    return;
  }
  ui_.btn_down->setEnabled(false);
  ui_.btn_stop->setEnabled(true);
  StopRequested_ = false;
  ui_.lv_songs->setFocus();
  DownloadedCount_ = 0;

  // The rows present now are the batch. Persistent indexes follow a row while the list changes
  // under the batch and become invalid when the list is cleared, so a row that is gone is
  // skipped instead of touched, and rows added later are not picked up.
  batch_rows_.clear();
  batch_ticked_ = 0;
  batch_bytes_done_ = 0;
  batch_bytes_running_.clear();
  QAbstractItemModel* model = ui_.lv_songs->model();
  for (int i = 0; i < SongCount(); ++i) {
    batch_rows_.emplace_back(model->index(i, kColumnId));
    if (SongTicked(i)) ++batch_ticked_;
  }
  const int parallel = download_settings_.parallel_downloads;
  link_source_->SetPageCount(parallel);
  download::DownloadPolicies policies = Policies();
  // The archive is read anew for each batch, so a file emptied or edited meanwhile counts.
  if (download_settings_.use_archive) {
    policies.archive = std::make_shared<download::DownloadArchive>(ArchivePath());
    policies.archive->Load();
  }
  download_queue_->SetPolicies(std::move(policies));
  download_queue_->Start(
      std::make_unique<BatchTaskList>(
          static_cast<int>(batch_rows_.size()), [this](int key) { return BatchTask(key); },
          [this](int key) { return BatchRow(key); }),
      parallel);
}

download::DownloadPolicies MainWindow::Policies() const {
  download::DownloadPolicies policies;
  policies.existing_file = download_settings_.existing_file;
  policies.retries = download_settings_.retries;
  policies.retry_backoff_base_ms = retry_backoff_base_ms_;
  policies.write_tags = download_settings_.write_tags;
  policies.stall_timeout_ms = int64_t{download_settings_.stall_seconds} * 1000;
  policies.rate_limiter = rate_limiter_;
  return policies;
}

int MainWindow::BatchRow(int key) const {
  if (key < 0 || key >= static_cast<int>(batch_rows_.size())) return -1;
  const QPersistentModelIndex& row = batch_rows_[static_cast<size_t>(key)];
  return row.isValid() ? row.row() : -1;
}

std::optional<download::SongTask> MainWindow::BatchTask(int key) const {
  const int row = BatchRow(key);
  if (row < 0 || !SongTicked(row)) return std::nullopt;
  download::SongTask task;
  task.key = key;
  task.id = SongText(row, kColumnId).trimmed();
  task.title = SongText(row, kColumnTitle).trimmed();
  task.singer = SongText(row, kColumnSinger).trimmed();
  task.rate = SelectedRateText();
  task.naming = SelectedNamingScheme();
  task.save_folder = ui_.edt_saveto->text().trimmed();
  task.filter = {ui_.chk_isFileterSize->isChecked(), ui_.cbb_minsize->currentText()};
  task.ca_file = endpoints_.ca_file;
  return task;
}

void MainWindow::BatchSongStarted(int key) {
  const int row = BatchRow(key);
  if (row < 0) return;
  // The song whose turn has come is brought near the top of the list.
  ui_.lv_songs->clearSelection();
  ui_.lv_songs->selectRow(row);
  ui_.lv_songs->setCurrentCell(row, kColumnId);
  ui_.lv_songs->scrollTo(batch_rows_[static_cast<size_t>(key)], QAbstractItemView::PositionAtTop);
  SetSongText(row, kColumnStatus, download::RowStatusText(RowStatus::kDownloading));
}

void MainWindow::http_downloadWorkBegin(int key) {
  const int row = BatchRow(key);
  const QString title = row >= 0 ? SongText(row, kColumnTitle).trimmed() : QString();
  if (row >= 0) SetRowProgress(row, 0, download::RowStatusText(RowStatus::kDownloading));
  if (download_queue_->Parallel() > 1) {
    ShowBatchProgress();
    return;
  }
  CurrentSongTitle_ = title;
  SetStatusText(tr("正在下载《%1》").arg(title));
  ui_.prgrsts_downloadpg->SetPercent(0);
  DownloadDone_ = 0;
  DownloadTotal_ = 0;
}

void MainWindow::http_downloadWork(int key, const download::TransferProgress& progress) {
  const int row = BatchRow(key);
  if (row >= 0) {
    const int percent = progress.bytes_total > 0
                            ? static_cast<int>(progress.bytes_done * 100 / progress.bytes_total)
                            : -1;
    SetRowProgress(
        row, percent,
        RowProgressText(progress.bytes_done, progress.bytes_total, progress.bytes_per_second));
  }
  if (download_queue_->Parallel() > 1) {
    batch_bytes_running_[key] = progress.bytes_done;
    ShowBatchProgress();
    return;
  }
  // One song at a time: the transport's own counts, as they always showed.
  DownloadTotal_ = progress.work_count_max;
  DownloadDone_ = progress.work_count;
  SetStatusText(
      DownloadProgressText(CurrentSongTitle_, DownloadDone_, DownloadTotal_, DownloadedCount_));
  ui_.prgrsts_downloadpg->SetPercent(
      IndicatorPercent(TransferPercent(DownloadDone_, DownloadTotal_)));
}

void MainWindow::http_downloadWorkEnd(int key) {
  const int row = BatchRow(key);
  if (row >= 0) SetRowProgress(row, 0, QString());
  if (download_queue_->Parallel() > 1) return;
  ui_.prgrsts_downloadpg->SetPercent(100);
}

void MainWindow::BatchSongRetrying(int key, int retry, int retries) {
  const int row = BatchRow(key);
  if (row < 0) return;
  SetRowProgress(row, 0, QString());
  SetSongText(row, kColumnStatus, download::RetryWaitText(retry, retries));
  if (download_queue_->Parallel() > 1) return;
  SetStatusText(
      tr("《%1》%2")
          .arg(SongText(row, kColumnTitle).trimmed(), download::RetryWaitText(retry, retries)));
}

void MainWindow::BatchSongFinished(int key, const download::JobResult& result) {
  const int row = BatchRow(key);
  batch_bytes_running_.erase(key);
  if (result.status == RowStatus::kSucceeded) {
    ++DownloadedCount_;
    batch_bytes_done_ += FileSizeOf(result.saved_path);
  }
  const QString title = row >= 0 ? SongText(row, kColumnTitle).trimmed() : QString();
  if (row >= 0) {
    SetRowProgress(row, 0, QString());
    SetSongText(row, kColumnStatus, result.RowText());
    // A song that is done, saved, filtered or there already, leaves the selection; a failed one
    // stays ticked.
    if (result.status == RowStatus::kSucceeded || result.status == RowStatus::kFiltered ||
        result.status == RowStatus::kSkipped) {
      SetSongTicked(row, false);
      ui_.lv_songs->clearSelection();
    }
  }
  if (download_queue_->Parallel() > 1) {
    ShowBatchProgress();
    return;
  }
  if (result.status == RowStatus::kSucceeded) {
    SetStatusText(tr("《%1》下载成功").arg(title));
  } else if (result.status == RowStatus::kSkipped) {
    SetStatusText(tr("《%1》%2").arg(title, result.RowText()));
  } else if (result.status == RowStatus::kFailed || result.status == RowStatus::kStopped) {
    const QString reason = result.status == RowStatus::kStopped && result.reason.isEmpty()
                               ? download::StoppedReason()
                               : result.reason;
    SetStatusText(tr("%1,自动跳过").arg(reason));
  }
}

void MainWindow::BatchEnded(int saved, int started, download::BatchEnd end) {
  // The stop button belongs to the batch; with the batch over it has nothing left to stop.
  ui_.btn_stop->setEnabled(false);
  DownloadedCount_ = saved;
  if (end == download::BatchEnd::kStopped) {
    SetStatusText(tr("用户中止下载！"));
    ui_.btn_down->setEnabled(true);
    return;
  }
  if (end == download::BatchEnd::kOutOfSpace) {
    // Every song after this one would fail the same way; the user has to make room first.
    const QString text =
        tr("%1！本次共下载了%2首歌曲")
            .arg(download::DiskFullStopReason(), QString::number(DownloadedCount_));
    SetStatusText(text);
    ui_.btn_down->setEnabled(true);
    message_boxes_.Show(text, ApplicationTitle(), MessageButtons::kOk, MessageIcon::kError);
    return;
  }
  // The question is for a batch that had nothing to fetch; songs that failed or were filtered
  // are reported like any others.
  if (started == 0) {
    const MessageAnswer answer = message_boxes_.Show(
        tr("您你没选择任何歌曲，下载神马啊，亲！！\r\n\r\n要快速下载全部音乐吗？"), tr("提示"),
        MessageButtons::kYesNo, MessageIcon::kInformation);
    if (answer == MessageAnswer::kYes) {
      btn_selectAllClick();
      btn_downClick();
    } else {
      ui_.btn_down->setEnabled(true);
    }
    return;
  }
  const QString text = tr("所有任务已经完成！本次共下载了%1首歌曲").arg(DownloadedCount_);
  SetStatusText(text);
  if (download_queue_->Parallel() > 1) ui_.prgrsts_downloadpg->SetPercent(100);
  ui_.btn_down->setEnabled(true);
  message_boxes_.Show(text, ApplicationTitle(), MessageButtons::kOk, MessageIcon::kNone);
}

void MainWindow::ShowBatchProgress() {
  int64_t bytes = batch_bytes_done_;
  for (const auto& [key, done] : batch_bytes_running_) bytes += done;
  // The queue counts the songs that are over, those dropped before their transfer too.
  const int done = download_queue_->DoneCount();
  const int ticked = std::max(batch_ticked_, done);
  SetStatusText(BatchProgressText(done, ticked, bytes));
  ui_.prgrsts_downloadpg->SetPercent(static_cast<uint16_t>(ticked > 0 ? done * 100 / ticked : 0));
}

void MainWindow::SetRowProgress(int row, int percent, const QString& text) {
  QTableWidgetItem* item = ui_.lv_songs->item(row, kColumnStatus);
  if (!item) return;
  if (text.isEmpty()) {
    item->setData(SongStatusDelegate::kPercentRole, QVariant());
    item->setData(SongStatusDelegate::kProgressTextRole, QVariant());
    return;
  }
  item->setData(SongStatusDelegate::kPercentRole, percent);
  item->setData(SongStatusDelegate::kProgressTextRole, text);
}

QString MainWindow::SelectedRateText() const {
  if (ui_.rb_128k->isChecked()) return QStringLiteral("128");
  if (ui_.rb_192k->isChecked()) return QStringLiteral("192");
  return QStringLiteral("320");
}

NamingScheme MainWindow::SelectedNamingScheme() const {
  if (ui_.rb1->isChecked()) return NamingScheme::kTitle;
  if (ui_.rb2->isChecked()) return NamingScheme::kTitleSinger;
  return NamingScheme::kSingerTitle;
}

void MainWindow::btn_stopClick() {
  StopRequested_ = true;
  ui_.btn_stop->setEnabled(false);
  // Every running transfer is cut at once, also one waiting for data that never comes.
  download_queue_->StopAll();
}

void MainWindow::rb_128kClick() { ui_.chk_isFileterSize->setChecked(false); }

void MainWindow::rb_192kClick() { ui_.chk_isFileterSize->setChecked(false); }

void MainWindow::http_tempWorkBegin() {
  PreviewTotal_ = 0;
  PreviewDone_ = 0;
}

void MainWindow::http_tempWork(const download::TransferProgress& progress) {
  PreviewTotal_ = progress.work_count_max;
  PreviewDone_ = progress.work_count;
  SetStatusText(PreviewProgressText(PreviewTitle_, PreviewDone_, PreviewTotal_));
}

void MainWindow::http_tempWorkEnd() { SetStatusText(tr("开始试听......")); }

}  // namespace mevra::app
