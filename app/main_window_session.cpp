// The session: the list as the user left it, a batch the program ended in the middle of, and the
// history of the songs that ended, with its window.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "app/history_window.h"
#include "app/main_window.h"
#include "app/session_store.h"
#include "download/download_queue.h"
#include "download/job_result.h"

namespace mevra::app {

using download::RowStatus;

void MainWindow::OpenSession() {
  SessionStore::Opened opened = session_->Open(session_path_);
  songs_->Restore(std::move(opened.songs));
  session_->Watch(songs_);
  session_->OnWriteFailed = [this](const QString& error) {
    message_boxes_.Show(tr("无法保存下载列表：%1").arg(error), ApplicationTitle(),
                        MessageButtons::kOk, MessageIcon::kError);
  };
  kept_batch_ = opened.batch;
  // The questions wait for the window to be up; the program never waits on them to start.
  if (!opened.problem.isEmpty()) {
    QTimer::singleShot(0, this, [this, problem = opened.problem] {
      message_boxes_.Show(problem, ApplicationTitle(), MessageButtons::kOk, MessageIcon::kError);
    });
  }
  if (kept_batch_.active) {
    QTimer::singleShot(0, this, [this] { AskToResume(); });
  }
}

std::vector<int> MainWindow::ResumableKeys(const BatchRecord& batch) const {
  std::vector<int> keys;
  for (int row = 0; row < SongCount(); ++row) {
    const SongRow& song = songs_->Row(row);
    if (song.key >= batch.end_key) break;
    if (song.ticked && (song.unfinished || song.status == RowStatus::kWaiting)) {
      keys.push_back(song.key);
    }
  }
  return keys;
}

void MainWindow::AskToResume() {
  const BatchRecord batch = std::exchange(kept_batch_, BatchRecord{});
  std::vector<int> keys = ResumableKeys(batch);
  if (keys.empty() || download_queue_->IsRunning()) {
    session_->EndBatch();
    return;
  }
  const MessageAnswer answer =
      message_boxes_.Show(tr("上次的下载没有完成（%1首），现在继续吗？").arg(keys.size()),
                          tr("提示"), MessageButtons::kYesNo, MessageIcon::kQuestion);
  if (answer != MessageAnswer::kYes) {
    // The songs stay listed and ticked for a later batch.
    session_->EndBatch();
    return;
  }
  // The same rate, names and folder as before, so every song finds its part file again.
  ShowSettings(batch.settings);
  StartBatch(std::move(keys), batch.end_key);
}

void MainWindow::RecordHistory(const download::SongTask& task, const download::JobResult& result) {
  HistoryEntry entry;
  entry.time_ms = QDateTime::currentMSecsSinceEpoch();
  entry.id = task.id;
  entry.title = task.title;
  entry.singer = task.singer;
  entry.rate = task.rate;
  entry.file = result.saved_path;
  entry.size = result.saved_path.isEmpty() ? 0 : QFileInfo(result.saved_path).size();
  entry.outcome = result.status;
  entry.reason = result.status == RowStatus::kStopped && result.reason.isEmpty()
                     ? download::StoppedReason()
                     : result.reason;
  session_->AddHistory(entry);
  if (history_window_) history_window_->Prepend(entry);
}

void MainWindow::btn_historyClick() {
  if (!history_window_) {
    history_window_ = new HistoryWindow(this);
    history_window_->setWindowFlag(Qt::Window);
    history_window_->OnOpenFolder = [this](const QString& folder) {
      url_opener_.Open(QUrl::fromLocalFile(folder).toString());
    };
    history_window_->OnClear = [this] { ClearHistoryAsked(); };
    history_window_->OnRetry = [this](const std::vector<HistoryEntry>& songs) {
      RetryFailed(songs);
    };
  }
  history_window_->SetEntries(session_->History());
  history_window_->SetRetryEnabled(!download_queue_->IsRunning());
  history_window_->show();
  history_window_->raise();
  history_window_->activateWindow();
}

void MainWindow::ClearHistoryAsked() {
  if (message_boxes_.Show(tr("您确定要清空下载记录吗？"), tr("提示"), MessageButtons::kYesNo,
                          MessageIcon::kQuestion) != MessageAnswer::kYes) {
    return;
  }
  session_->ClearHistory();
  history_window_->SetEntries({});
}

void MainWindow::RetryFailed(const std::vector<HistoryEntry>& songs) {
  if (songs.empty() || download_queue_->IsRunning()) return;
  std::vector<SongRow> missing;
  for (const HistoryEntry& song : songs) {
    if (songs_->Contains(song.id)) continue;
    SongRow row;
    row.id = song.id;
    row.title = song.title;
    row.singer = song.singer;
    missing.push_back(std::move(row));
  }
  songs_->Append(missing);
  std::vector<std::pair<int, int>> rows;  // (row, key), to start them in list order
  for (const HistoryEntry& song : songs) {
    const int row = songs_->RowOfId(song.id);
    if (row < 0) continue;
    songs_->SetTicked(row, true);
    rows.emplace_back(row, songs_->Row(row).key);
  }
  std::sort(rows.begin(), rows.end());
  std::vector<int> keys;
  for (const auto& [row, key] : rows) keys.push_back(key);
  StartBatch(std::move(keys), songs_->NextKey());
}

}  // namespace mevra::app
