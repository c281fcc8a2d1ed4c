// The batch download and the progress display of both transfer clients.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QTableWidget>
#include <stdexcept>
#include <vector>

#include "app/anti_freeze.h"
#include "app/main_window.h"
#include "app/song_link_resolver.h"
#include "app/transfer_text.h"
#include "browser/browser_control.h"
#include "download/file_naming.h"
#include "http/http_client.h"
#include "http/http_error.h"
#include "net/stream.h"
#include "widgets/progress_status.h"

namespace mevra::app {

using download::NamingScheme;

namespace {

// A row that cannot be saved; the text says why and ends up in the row's status.
class RowFailure : public std::runtime_error {
 public:
  explicit RowFailure(const QString& reason) : std::runtime_error(reason.toStdString()) {}
};

// Why a row stopped when the user pressed the stop button.
const QString kStopped = QStringLiteral("用户中止下载");

// Status texts are one line; transport messages carry a line break between code and text.
QString OneLine(const QString& text) {
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return line.trimmed();
}

// Writes the whole stream to `path`, replacing any file of that name. The bytes go to a temporary
// file first, so a failed write (a full disk) leaves no half file behind.
void WriteSongFile(const QString& path, const net::MemoryStream& stream) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    throw RowFailure(QStringLiteral("无法保存文件：") + file.errorString());
  }
  const std::string& bytes = stream.Data();
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !file.commit()) {
    throw RowFailure(QStringLiteral("无法保存文件：") + file.errorString());
  }
}

}  // namespace

void MainWindow::btn_downClick() {
  if (ui_.edt_saveto->text().trimmed().isEmpty()) {
    message_boxes_.Show(QStringLiteral("请先选择音乐保存位置，再开始下载"), QStringLiteral("提示"),
                        MessageButtons::kOk, MessageIcon::kNone);
    return;
  }
  ui_.btn_down->setEnabled(false);
  ui_.btn_stop->setEnabled(true);
  StopRequested_ = false;
  ui_.lv_songs->setFocus();
  DownloadedCount_ = 0;

  // The rows present now are the batch. Persistent indexes follow a row while the list changes
  // under the batch and become invalid when the list is cleared, so a row that is gone is skipped
  // instead of touched, and rows added later are not picked up.
  std::vector<QPersistentModelIndex> rows;
  QAbstractItemModel* model = ui_.lv_songs->model();
  for (int i = 0; i < SongCount(); ++i) rows.emplace_back(model->index(i, kColumnId));

  for (const QPersistentModelIndex& row : rows) {
    QCoreApplication::processEvents();
    if (StopRequested_) {
      SetStatusText(QStringLiteral("用户中止下载！"));
      ui_.btn_down->setEnabled(true);
      return;
    }
    if (!row.isValid() || !SongTicked(row.row())) continue;
    QCoreApplication::processEvents();
    if (!row.isValid()) continue;
    DownloadRow(row);
  }

  if (DownloadedCount_ == 0) {
    const MessageAnswer answer = message_boxes_.Show(
        QStringLiteral("您你没选择任何歌曲，下载神马啊，亲！！\r\n\r\n要快速下载全部音乐吗？"),
        QStringLiteral("提示"), MessageButtons::kYesNo, MessageIcon::kInformation);
    if (answer == MessageAnswer::kYes) {
      btn_selectAllClick();
      btn_downClick();
    } else {
      ui_.btn_down->setEnabled(true);
    }
    return;
  }
  const QString text = QStringLiteral("所有任务已经完成！本次共下载了") +
                       QString::number(DownloadedCount_) + QStringLiteral("首歌曲");
  SetStatusText(text);
  ui_.btn_down->setEnabled(true);
  message_boxes_.Show(text, kApplicationTitle, MessageButtons::kOk, MessageIcon::kNone);
}

void MainWindow::DownloadRow(const QPersistentModelIndex& row) {
  ui_.lv_songs->clearSelection();
  ui_.lv_songs->selectRow(row.row());
  ui_.lv_songs->setCurrentCell(row.row(), kColumnId);
  ui_.lv_songs->scrollTo(row, QAbstractItemView::PositionAtTop);

  const QString id = SongText(row.row(), kColumnId).trimmed();
  const QString title = SongText(row.row(), kColumnTitle).trimmed();
  const QString singer = SongText(row.row(), kColumnSinger).trimmed();
  SetSongText(row.row(), kColumnStatus, QStringLiteral("下载中"));

  const QString rate = SelectedRateText();
  const SongLink link =
      ResolveSongLink(*ui_.web2, endpoints_.music_base_url, id, rate, tick_clock_);
  // The list was cleared while the page loaded: the user no longer wants this song.
  if (!row.isValid()) return;

  CurrentSongTitle_ = title;
  const QString name =
      download::SafeFileName(download::SongFileName(SelectedNamingScheme(), title, singer));
  SetStatusText(QStringLiteral("正在下载《") + title + QStringLiteral("》"));
  antifreeze1_->SetOnlyWhenIdle(false);
  net::MemoryStream stream;

  try {
    if (StopRequested_) throw RowFailure(kStopped);
    if (!link.found) {
      throw RowFailure(QStringLiteral("下载页面中没有") + rate + QStringLiteral("K的下载链接"));
    }
    http_download_->Get(link.url.toStdString(), stream);
    // A transfer that the stop button cut short ends without an error but is not the song.
    if (StopRequested_) throw RowFailure(kStopped);

    const QString path = download::SongSavePath(
        ui_.edt_saveto->text().trimmed(), name, rate,
        [](const QString& candidate) { return QFileInfo::exists(candidate); });
    WriteSongFile(path, stream);
    stream.SetSize(0);

    if (ui_.chk_isFileterSize->isChecked()) {
      const std::optional<bool> removes =
          download::SizeFilterRemoves(FileSizeOf(path), ui_.cbb_minsize->currentText());
      if (!removes) throw RowFailure(QStringLiteral("过滤大小不是数字"));
      if (*removes) {
        QFile::remove(path);
        if (row.isValid()) {
          SetSongText(row.row(), kColumnStatus, QStringLiteral("文件太小，已过滤"));
          SetSongTicked(row.row(), false);
          ui_.lv_songs->clearSelection();
        }
        return;
      }
    }
    ++DownloadedCount_;
    SetStatusText(QStringLiteral("《") + title + QStringLiteral("》下载成功"));
    if (row.isValid()) {
      SetSongText(row.row(), kColumnStatus, QStringLiteral("下载成功"));
      SetSongTicked(row.row(), false);
      ui_.lv_songs->clearSelection();
    }
  } catch (const http::HttpProtocolError&) {
    // An error status: the status line the server sent says it best.
    FailRow(row, QString::fromStdString(http_download_->ResponseText()));
  } catch (const std::exception& error) {
    // Anything else failed before or outside a response; its own message says what, unless the user
    // cut the transfer.
    FailRow(row, StopRequested_ ? kStopped : QString::fromUtf8(error.what()));
  }
}

void MainWindow::FailRow(const QPersistentModelIndex& row, const QString& reason) {
  const QString line = OneLine(reason);
  SetStatusText(line + QStringLiteral(",自动跳过"));
  if (row.isValid()) SetSongText(row.row(), kColumnStatus, QStringLiteral("下载失败") + line);
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
  QCoreApplication::processEvents();
  StopRequested_ = true;
  ui_.btn_stop->setEnabled(false);
  // A transfer that is waiting for data would see the request only with its next block, which may
  // never come from a stalled server; closing the connection ends that wait at once.
  if (http_download_->InsideGet()) http_download_->CloseConnection();
}

void MainWindow::rb_128kClick() { ui_.chk_isFileterSize->setChecked(false); }

void MainWindow::rb_192kClick() { ui_.chk_isFileterSize->setChecked(false); }

void MainWindow::http_downloadWorkBegin(net::NetComponent&, net::WorkMode, int32_t work_count_max) {
  ui_.prgrsts_downloadpg->SetPercent(0);
  DownloadDone_ = 0;
  DownloadTotal_ = work_count_max;
}

void MainWindow::http_downloadWork(net::NetComponent&, net::WorkMode, int32_t work_count) {
  if (StopRequested_) http_download_->CloseConnection();
  DownloadDone_ = work_count;
  SetStatusText(
      DownloadProgressText(CurrentSongTitle_, work_count, DownloadTotal_, DownloadedCount_));
  ui_.prgrsts_downloadpg->SetPercent(
      IndicatorPercent(TransferPercent(DownloadDone_, DownloadTotal_)));
}

void MainWindow::http_downloadWorkEnd(net::NetComponent&, net::WorkMode) {
  ui_.prgrsts_downloadpg->SetPercent(100);
}

void MainWindow::http_tempWorkBegin(net::NetComponent&, net::WorkMode, int32_t work_count_max) {
  PreviewTotal_ = work_count_max;
  PreviewDone_ = 0;
}

void MainWindow::http_tempWork(net::NetComponent&, net::WorkMode, int32_t work_count) {
  if (preview_stop_requested_) {
    http_temp_->CloseConnection();
    return;
  }
  PreviewDone_ = work_count;
  SetStatusText(PreviewProgressText(PreviewTitle_, work_count, PreviewTotal_));
}

void MainWindow::http_tempWorkEnd(net::NetComponent&, net::WorkMode) {
  SetStatusText(QStringLiteral("开始试听......"));
}

}  // namespace mevra::app
