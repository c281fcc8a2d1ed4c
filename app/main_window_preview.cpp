// The preview: one song fetched to the temporary file and played in a loop until stopped.
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include "app/direct_link_source.h"
#include "app/main_window.h"
#include "app/program_proxy.h"
#include "download/song_download_job.h"

namespace mevra::app {

using download::SongDownloadJob;

void MainWindow::btn_listenClick() {
  const QModelIndexList selected = ui_.lv_songs->selectionModel()->selectedRows(kColumnId);
  int row = -1;
  for (const QModelIndex& index : selected) {
    row = row < 0 ? index.row() : std::min(row, index.row());
  }
  QString id;
  if (row >= 0) {
    PreviewTitle_ = SongText(row, kColumnTitle).trimmed();
    id = SongText(row, kColumnId).trimmed();
  }
  if (id.isEmpty()) {
    message_boxes_.Show(tr("请选选择要试听的歌曲名称"), tr("提示"), MessageButtons::kOk,
                        MessageIcon::kInformation);
    return;
  }
  SetStatusText(tr("正在准备音乐文件《%1》...").arg(PreviewTitle_));
  ui_.btn_listenstop->setEnabled(true);
  ui_.btn_listen->setEnabled(false);

  // The preview always takes the standard rate, whatever the downloads use, and asks the same
  // link source as the batch: it waits for a free page instead of taking the batch's.
  download::SongTask task;
  task.id = id;
  task.title = PreviewTitle_;
  task.rate = QStringLiteral("128");
  task.fixed_path = temp_path_;
  task.ca_file = endpoints_.ca_file;
  task.proxy = ProgramProxy::Current().rules;
  preview_job_ =
      std::make_unique<SongDownloadJob>(std::move(task), *direct_link_source_, Policies());
  SongDownloadJob* job = preview_job_.get();
  connect(job, &SongDownloadJob::Resolved, this, [this, job] {
    const download::LinkAnswer& link = job->Link();
    ui_.mmo_log->appendPlainText(link.found ? link.url : endpoints_.music_base_url);
    ui_.mmo_log->appendPlainText(temp_path_);
  });
  connect(job, &SongDownloadJob::TransferStarted, this, [this] { http_tempWorkBegin(); });
  connect(job, &SongDownloadJob::Progress, this,
          [this](const download::TransferProgress& progress) { http_tempWork(progress); });
  connect(job, &SongDownloadJob::TransferEnded, this, [this] { http_tempWorkEnd(); });
  connect(job, &SongDownloadJob::Finished, this,
          [this](const download::JobResult& result) { PreviewFinished(result); });
  job->Start();
}

void MainWindow::PreviewFinished(const download::JobResult& result) {
  // A stopped preview has been dealt with by the stop button already.
  if (result.status == download::RowStatus::kStopped) return;
  if (result.status != download::RowStatus::kSucceeded) {
    // Nothing plays then: not even the previous song's file, which is not the one asked for.
    SetStatusText(tr("无法试听《%1》：%2").arg(PreviewTitle_, result.reason));
    ui_.btn_listenstop->setEnabled(false);
    ui_.btn_listen->setEnabled(true);
    return;
  }
  // Opening a fresh source makes the player read the file anew even when the path is the same.
  preview_player_->setSource(QUrl());
  preview_player_->setSource(QUrl::fromLocalFile(temp_path_));
  preview_player_->setPosition(0);
  preview_player_->play();
}

void MainWindow::MciNotify() {
  if (preview_player_->source().isEmpty()) return;
  preview_player_->setPosition(0);
  preview_player_->play();
}

void MainWindow::btn_listenstopClick() {
  // A preview still being prepared ends here: its transfer is cut, nothing plays, and nothing
  // it would still have reported reaches the display.
  if (preview_job_) {
    preview_job_->disconnect(this);
    preview_job_->Stop();
  }
  preview_player_->stop();
  preview_player_->setSource(QUrl());
  SetStatusText(tr("停止试听"));
  ui_.btn_listenstop->setEnabled(false);
  ui_.btn_listen->setEnabled(true);
}

}  // namespace mevra::app
