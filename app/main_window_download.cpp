// The batch download and the progress display of the batch and the preview. The songs are
// fetched by the download queue; these handlers start it, stop it and show what it reports.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <algorithm>

#include "app/batch_notice.h"
#include "app/browser_link_source.h"
#include "app/direct_link_source.h"
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/program_proxy.h"
#include "app/session_store.h"
#include "app/song_status_delegate.h"
#include "app/transfer_text.h"
#include "download/batch_progress.h"
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
  using Taken = std::function<void(const download::SongTask& task)>;

  BatchTaskList(std::vector<int> keys, TaskOf task_of, RowOf row_of, Taken taken)
      : keys_(std::move(keys)),
        task_of_(std::move(task_of)),
        row_of_(std::move(row_of)),
        taken_(std::move(taken)) {}

  std::optional<download::SongTask> TakeNext() override {
    while (next_ < keys_.size()) {
      if (std::optional<download::SongTask> task = task_of_(keys_[next_++])) {
        taken_(*task);
        return task;
      }
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
  std::vector<int> keys_;
  size_t next_ = 0;
  TaskOf task_of_;
  RowOf row_of_;
  Taken taken_;
};

}  // namespace

void MainWindow::btn_downClick() {
  // The rows present now are the batch; rows added later are not picked up, and rows that
  // leave the list are skipped instead of touched.
  std::vector<int> keys;
  keys.reserve(static_cast<size_t>(SongCount()));
  for (int row = 0; row < SongCount(); ++row) keys.push_back(songs_->Row(row).key);
  StartBatch(std::move(keys), songs_->NextKey());
}

void MainWindow::StartBatch(std::vector<int> keys, int end_key) {
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

  batch_tasks_.clear();
  batch_saved_.clear();
  const int ticked = static_cast<int>(std::count_if(
      keys.begin(), keys.end(), [this](int key) { return SongTicked(BatchRow(key)); }));
  if (history_window_) history_window_->SetRetryEnabled(false);
  // What a later start needs to go on where this one ends.
  session_->SetBatch({true, end_key, CurrentSettings()});
  const int parallel = download_settings_.parallel_downloads;
  link_source_->SetPageCount(parallel);
  direct_link_source_->SetLaneCount(parallel);
  download::DownloadPolicies policies = Policies();
  // The archive is read anew for each batch, so a file emptied or edited meanwhile counts.
  if (download_settings_.use_archive) {
    policies.archive = std::make_shared<download::DownloadArchive>(ArchivePath());
    policies.archive->Load();
  }
  download_queue_->SetPolicies(std::move(policies));
  download_queue_->Start(
      std::make_unique<BatchTaskList>(
          std::move(keys), [this](int key) { return BatchTask(key); },
          [this](int key) { return BatchRow(key); },
          [this](const download::SongTask& task) { batch_tasks_[task.key] = task; }),
      parallel, ticked);
}

download::DownloadPolicies MainWindow::Policies() const {
  download::DownloadPolicies policies;
  policies.existing_file = download_settings_.existing_file;
  policies.retries = download_settings_.retries;
  policies.retry_backoff_base_ms = retry_backoff_base_ms_;
  policies.write_tags = download_settings_.write_tags;
  policies.extras = download_settings_.extras;
  policies.stall_timeout_ms = int64_t{download_settings_.stall_seconds} * 1000;
  policies.rate_limiter = rate_limiter_;
  return policies;
}

int MainWindow::BatchRow(int key) const { return songs_->RowOfKey(key); }

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
  task.name_template = download_settings_.name_template;
  task.page = songs_->Row(row).page;
  task.save_folder = ui_.edt_saveto->text().trimmed();
  task.filter = {ui_.chk_isFileterSize->isChecked(), ui_.cbb_minsize->currentText()};
  task.ca_file = endpoints_.ca_file;
  task.proxy = ProgramProxy::Current().rules;
  return task;
}

void MainWindow::BatchSongStarted(int key) {
  const int row = BatchRow(key);
  if (row < 0) return;
  // The song whose turn has come is brought near the top of the list.
  const QModelIndex index = songs_->index(row, kColumnId);
  ui_.lv_songs->clearSelection();
  ui_.lv_songs->selectRow(row);
  ui_.lv_songs->setCurrentIndex(index);
  ui_.lv_songs->scrollTo(index, QAbstractItemView::PositionAtTop);
  songs_->SetStatus(row, RowStatus::kDownloading);
}

// The rows' own cells follow their transfers; the status pane and the indicator show what the
// queue counts of the batch (ShowBatchProgress).
void MainWindow::http_downloadWorkBegin(int key) {
  SetRowProgress(BatchRow(key), 0, download::RowStatusText(RowStatus::kDownloading));
}

void MainWindow::http_downloadWork(int key, const download::TransferProgress& progress) {
  const int percent = progress.bytes_total > 0
                          ? static_cast<int>(progress.bytes_done * 100 / progress.bytes_total)
                          : -1;
  SetRowProgress(
      BatchRow(key), percent,
      RowProgressText(progress.bytes_done, progress.bytes_total, progress.bytes_per_second));
}

void MainWindow::http_downloadWorkEnd(int key) { SetRowProgress(BatchRow(key), 0, QString()); }

void MainWindow::BatchSongRetrying(int key, int retry, int retries) {
  const int row = BatchRow(key);
  if (row < 0) return;
  songs_->SetRetryWait(row, retry, retries);
  // With several songs at once the batch's progress, which follows, takes the pane back.
  SetStatusText(
      tr("《%1》%2")
          .arg(SongText(row, kColumnTitle).trimmed(), download::RetryWaitText(retry, retries)));
}

void MainWindow::BatchSongFinished(int key, const download::JobResult& result) {
  const int row = BatchRow(key);
  if (const auto task = batch_tasks_.find(key); task != batch_tasks_.end()) {
    RecordHistory(task->second, result);
    if (result.status == RowStatus::kSucceeded && !result.saved_path.isEmpty()) {
      batch_saved_[key] = {result.saved_path, task->second.save_folder, task->second.page};
    }
    batch_tasks_.erase(task);
  }
  const QString title = row >= 0 ? SongText(row, kColumnTitle).trimmed() : QString();
  if (row >= 0) {
    songs_->SetStatus(row, result.status, result.reason);
    // A song that is done, saved, filtered or there already, leaves the selection; a failed one
    // stays ticked.
    if (result.status == RowStatus::kSucceeded || result.status == RowStatus::kFiltered ||
        result.status == RowStatus::kSkipped) {
      SetSongTicked(row, false);
      ui_.lv_songs->clearSelection();
    }
  }
  // The song's own line; with several songs at once the batch's progress, which follows, takes
  // the pane back.
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
  batch_notice_->BatchEnded(download_queue_->Progress(), end, ui_.edt_saveto->text().trimmed(),
                            isActiveWindow(), download_settings_.notify);
  // The stop button belongs to the batch; with the batch over it has nothing left to stop.
  ui_.btn_stop->setEnabled(false);
  WriteBatchPlaylists();
  StartLibraryScan();
  session_->EndBatch();
  batch_tasks_.clear();
  if (history_window_) history_window_->SetRetryEnabled(true);
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

void MainWindow::ShowBatchProgress(const download::BatchProgress& progress) {
  DownloadedCount_ = progress.saved;
  using Phase = download::BatchProgress::Phase;
  if (progress.parallel > 1) {
    SetStatusText(BatchProgressText(progress.finished, progress.expected, progress.bytes));
    ui_.prgrsts_downloadpg->SetPercent(static_cast<uint16_t>(
        progress.expected > 0 ? progress.finished * 100 / progress.expected : 0));
    return;
  }
  // One song at a time: its transfer, with the transport's own counts, as they always showed.
  const auto task = batch_tasks_.find(progress.current_key);
  const QString title = task != batch_tasks_.end() ? task->second.title : QString();
  switch (progress.phase) {
    case Phase::kBegun:
      SetStatusText(tr("正在下载《%1》").arg(title));
      ui_.prgrsts_downloadpg->SetPercent(0);
      break;
    case Phase::kReceiving: {
      const int32_t done = progress.current.work_count;
      const int32_t total = progress.current.work_count_max;
      SetStatusText(DownloadProgressText(title, done, total, progress.saved));
      ui_.prgrsts_downloadpg->SetPercent(IndicatorPercent(TransferPercent(done, total)));
      break;
    }
    case Phase::kEnded:
      ui_.prgrsts_downloadpg->SetPercent(100);
      break;
    case Phase::kNone:
      break;
  }
}

void MainWindow::SetRowProgress(int row, int percent, const QString& text) {
  if (row >= 0) songs_->SetProgress(row, percent, text);
}

QString MainWindow::SelectedRateText() const {
  if (ui_.rb_128k->isChecked()) return QStringLiteral("128");
  if (ui_.rb_192k->isChecked()) return QStringLiteral("192");
  return QStringLiteral("320");
}

NamingScheme MainWindow::SelectedNamingScheme() const {
  if (ui_.rb1->isChecked()) return NamingScheme::kTitle;
  if (ui_.rb2->isChecked()) return NamingScheme::kTitleSinger;
  if (!ui_.rb3->isChecked() && custom_naming_) return NamingScheme::kTemplate;
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
