// Commands on the song list: tick marks, the title search and clearing.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

#include "app/main_window.h"
#include "app/text_trim.h"

namespace mevra::app {

void MainWindow::btn_selectAllClick() { songs_->TickAll(); }

void MainWindow::btn_NotSelectClick() { songs_->UntickAll(); }

void MainWindow::btn_ReSelectClick() { songs_->InvertTicks(); }

void MainWindow::lv_songsDblClick() {
  const QModelIndexList rows = ui_.lv_songs->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const auto first = std::min_element(
      rows.begin(), rows.end(),
      [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  SetSongTicked(first->row(), !SongTicked(first->row()));
}

void MainWindow::btn_searchClick() {
  const QString keyword = TrimText(ui_.edt_search->text());
  if (keyword.isEmpty()) {
    message_boxes_.Show(tr("请输入歌曲名"), ApplicationTitle(), MessageButtons::kOk,
                        MessageIcon::kNone);
    ui_.edt_search->setFocus();
    return;
  }
  const int found = songs_->TickTitlesContaining(keyword);
  message_boxes_.Show(tr("共搜索到相关歌曲%1首").arg(found), ApplicationTitle(),
                      MessageButtons::kOk, MessageIcon::kNone);
}

void MainWindow::btn_clearClick() {
  if (message_boxes_.Show(tr("您确定要清除音乐信息列表吗？"), tr("提示"), MessageButtons::kYesNo,
                          MessageIcon::kQuestion) == MessageAnswer::kYes) {
    ClearSongs();
  }
}

}  // namespace mevra::app
