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

}  // namespace

void MainWindow::btn_processSongClick() {
  QCoreApplication::processEvents();
  // The scan works on its own copy of the page, so nothing a handler does meanwhile can pull the
  // text away under it.
  const std::string page = ui_.web1->PageText().toStdString();
  ui_.pnl_info->setText(tr("抓取中......"));
  ui_.pnl_info->raise();
  ui_.pnl_info->show();
  const std::vector<SongItem> items = HarvestSongItems(page);
  const QString page_title = QString::fromStdString(HarvestPageTitle(page));
  std::vector<SongRow> songs;
  songs.reserve(items.size());
  for (const SongItem& item : items) {
    SongRow song;
    song.id = QString::fromStdString(item.id);
    song.title = QString::fromStdString(item.title);
    song.singer = QString::fromStdString(item.singer);
    song.page = page_title;
    songs.push_back(std::move(song));
  }
  // The page's new songs go in at once; the list draws them when the event loop next runs.
  songs_->Append(songs);
  MarkLibrarySongs();
  ui_.pnl_info->hide();
  SetStatusText(tr("抓取音乐信息完成！已抓取%1首音乐信息").arg(SongCount()));
}

void MainWindow::lst_songClick() {
  const QList<QListWidgetItem*> selected = ui_.lst_song->selectedItems();
  if (selected.isEmpty()) return;
  ui_.web1->Navigate(ChartItemUrl(selected.first()->text()));
}

void MainWindow::web1DocumentComplete(browser::BrowserControl& /*sender*/, const QString& /*url*/) {
  // Frames complete too; the gate looks at the top-level address every time.
  const QString address = TrimText(ui_.web1->LocationURL());
  // An empty login host names no page, so it keeps the tip on none (every text contains "").
  if (endpoints_.login_host.isEmpty() || !address.contains(endpoints_.login_host)) {
    ui_.pnl_logintip->hide();
  }
  if (!endpoints_.portal_host.isEmpty() && address.indexOf(endpoints_.portal_host) > 0) {
    const QString page = ui_.web1->PageText();
    if (page.contains(kSignedInMarker)) {
      ui_.web1->Navigate(endpoints_.NewSongsChartUrl());
      ui_.pnl_logintip->hide();
    } else {
      ui_.web1->Navigate(endpoints_.LoginUrl());
      ui_.pnl_logintip->show();
      ui_.pnl_web->show();
    }
  }
  // The harvest reads the page that is still loaded, even when a new navigation has begun.
  btn_processSongClick();
}

}  // namespace mevra::app
