// Harvesting the page shown in web1, the chart list and the sign-in gate.
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

#include "app/chart_list.h"
#include "app/main_window.h"
#include "app/song_harvest.h"
#include "app/text_trim.h"
#include "browser/browser_control.h"
#include "widgets/status_pane.h"

namespace mevra::app {
namespace {

// Present in the portal's pages only for a signed-in user.
const QString kSignedInMarker = QStringLiteral("window.logInfo");

QString GrabbedText(int count) {
  return QStringLiteral("抓取中......已抓取") + QString::number(count) +
         QStringLiteral("首音乐信息");
}

}  // namespace

void MainWindow::btn_processSongClick() {
  QCoreApplication::processEvents();
  // The scan works on its own copy of the page, so nothing a handler does while messages are
  // dispatched between items can pull the text away under it.
  const std::string page = web1_->PageText().toStdString();
  pnl_info_->setText(QStringLiteral("抓取中......"));
  pnl_info_->raise();
  pnl_info_->show();
  for (const SongItem& item : HarvestSongItems(page)) {
    QCoreApplication::processEvents();
    const QString id = QString::fromStdString(item.id);
    if (!SongListed(id)) {
      AddSong(id, QString::fromStdString(item.title), QString::fromStdString(item.singer));
    }
    const QString text = GrabbedText(lst_repeatProcess_->count());
    SetStatusText(text);
    pnl_info_->setText(text);
    pnl_info_->repaint();
  }
  pnl_info_->hide();
  SetStatusText(QStringLiteral("抓取音乐信息完成！已抓取") +
                QString::number(lst_repeatProcess_->count()) + QStringLiteral("首音乐信息"));
}

void MainWindow::lst_songClick() {
  const QList<QListWidgetItem*> selected = lst_song_->selectedItems();
  if (selected.isEmpty()) return;
  web1_->Navigate(ChartItemUrl(selected.first()->text()));
}

void MainWindow::web1DocumentComplete(browser::BrowserControl& /*sender*/, const QString& /*url*/) {
  // Frames complete too; the gate looks at the top-level address every time.
  const QString address = TrimText(web1_->LocationURL());
  if (!address.contains(endpoints_.login_host)) pnl_logintip_->hide();
  if (!endpoints_.portal_host.isEmpty() && address.indexOf(endpoints_.portal_host) > 0) {
    const QString page = web1_->PageText();
    if (page.contains(kSignedInMarker)) {
      web1_->Navigate(endpoints_.NewSongsChartUrl());
      pnl_logintip_->hide();
    } else {
      web1_->Navigate(endpoints_.LoginUrl());
      pnl_logintip_->show();
      pnl_web_->show();
    }
  }
  // The harvest reads the page that is still loaded, even when a new navigation has begun.
  btn_processSongClick();
}

}  // namespace mevra::app
