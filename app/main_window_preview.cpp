// The preview: one song fetched to the temporary file and played in a loop until stopped.
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QUrl>

#include "app/anti_freeze.h"
#include "app/main_window.h"
#include "app/song_link_resolver.h"
#include "http/http_client.h"
#include "net/stream.h"

namespace mevra::app {

void MainWindow::btn_listenClick() {
  const QModelIndexList selected = ui_.lv_songs->selectionModel()->selectedRows(kColumnId);
  int row = -1;
  for (const QModelIndex& index : selected) {
    row = row < 0 ? index.row() : std::min(row, index.row());
  }
  QString id;
  if (row >= 0) {
    PreviewTitle_ = SongText(row, kColumnTitle).trimmed();
    // The preview's own stop request is raised while it is prepared and cleared right before its
    // transfer; the batch's request is left alone, whether a batch runs around this or not.
    preview_stop_requested_ = true;
    id = SongText(row, kColumnId).trimmed();
  }
  if (id.isEmpty()) {
    message_boxes_.Show(QStringLiteral("请选选择要试听的歌曲名称"), QStringLiteral("提示"),
                        MessageButtons::kOk, MessageIcon::kInformation);
    return;
  }
  SetStatusText(QStringLiteral("正在准备音乐文件《") + PreviewTitle_ + QStringLiteral("》..."));
  ui_.btn_listenstop->setEnabled(true);
  ui_.btn_listen->setEnabled(false);

  // The preview always takes the standard rate, whatever the downloads use.
  const SongLink link =
      ResolveSongLink(*ui_.web2, endpoints_.music_base_url, id, QStringLiteral("128"), tick_clock_);
  ui_.mmo_log->appendPlainText(link.url);
  ui_.mmo_log->appendPlainText(temp_path_);

  antifreeze1_->SetOnlyWhenIdle(false);
  preview_stop_requested_ = false;
  // Failures stay silent: the previous temporary file, if any, is what plays then. Neither a page
  // without a link nor a transfer cut by a stop request replaces it.
  try {
    if (link.found) {
      net::MemoryStream stream;
      http_temp_->Get(link.url.toStdString(), stream);
      if (!preview_stop_requested_) {
        QSaveFile file(temp_path_);
        const std::string& bytes = stream.Data();
        if (file.open(QIODevice::WriteOnly)) {
          file.write(bytes.data(), static_cast<qint64>(bytes.size()));
          file.commit();
        }
      }
    }
  } catch (const std::exception&) {
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
  preview_player_->stop();
  preview_player_->setSource(QUrl());
  SetStatusText(QStringLiteral("停止试听"));
  ui_.btn_listenstop->setEnabled(false);
  ui_.btn_listen->setEnabled(true);
}

}  // namespace mevra::app
