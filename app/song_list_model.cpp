#include "app/song_list_model.h"

#include <algorithm>

#include "app/song_status_delegate.h"
#include "app/text_trim.h"

namespace mevra::app {

using download::RowStatus;

int SongListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

int SongListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QString SongListModel::StatusText(const SongRow& row) {
  if (row.unfinished) return tr("未完成");
  if (row.status == RowStatus::kWaitingRetry)
    return download::RetryWaitText(row.retry, row.retries);
  return download::RowStatusText(row.status, row.reason);
}

QString SongListModel::Text(int row, Column column) const {
  if (row < 0 || row >= Count()) return QString();
  const SongRow& song = Row(row);
  switch (column) {
    case kColumnId:
      return song.id;
    case kColumnTitle:
      return song.title;
    case kColumnSinger:
      return song.singer;
    case kColumnStatus:
      return StatusText(song);
  }
  return QString();
}

QVariant SongListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Count()) return QVariant();
  const SongRow& song = Row(index.row());
  const auto column = static_cast<Column>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return Text(index.row(), column);
    case Qt::CheckStateRole:
      if (column == kColumnId) return song.ticked ? Qt::Checked : Qt::Unchecked;
      break;
    case SongStatusDelegate::kPercentRole:
      if (column == kColumnStatus && !song.progress_text.isEmpty()) return int{song.percent};
      break;
    case SongStatusDelegate::kProgressTextRole:
      if (column == kColumnStatus && !song.progress_text.isEmpty()) return song.progress_text;
      break;
    default:
      break;
  }
  return QVariant();
}

QVariant SongListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  switch (section) {
    case kColumnId:
      return tr("歌曲编号");
    case kColumnTitle:
      return tr("歌曲名");
    case kColumnSinger:
      return tr("歌手名");
    case kColumnStatus:
      return tr("状态");
    default:
      return QVariant();
  }
}

Qt::ItemFlags SongListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kColumnId) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool SongListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != kColumnId || role != Qt::CheckStateRole) return false;
  SetTicked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

int SongListModel::RowOfKey(int key) const {
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), key,
                                   [](const SongRow& row, int k) { return row.key < k; });
  return it != rows_.end() && it->key == key ? static_cast<int>(it - rows_.begin()) : -1;
}

int SongListModel::RowOfId(const QString& id) const {
  const auto it = ids_.constFind(id);
  return it == ids_.cend() ? -1 : RowOfKey(it.value());
}

int SongListModel::Append(const std::vector<SongRow>& songs) {
  std::vector<SongRow> fresh;
  QHash<QString, int> fresh_ids;
  for (const SongRow& song : songs) {
    if (ids_.contains(song.id) || fresh_ids.contains(song.id)) continue;
    SongRow row;
    row.key = next_key_ + static_cast<int>(fresh.size());
    row.id = song.id;
    row.title = song.title;
    row.singer = song.singer;
    row.page = song.page;
    fresh_ids.insert(row.id, row.key);
    fresh.push_back(std::move(row));
  }
  if (fresh.empty()) return 0;
  const int first = Count();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
  rows_.insert(rows_.end(), std::make_move_iterator(fresh.begin()),
               std::make_move_iterator(fresh.end()));
  ids_.insert(fresh_ids);
  next_key_ += static_cast<int>(fresh.size());
  endInsertRows();
  return static_cast<int>(fresh.size());
}

void SongListModel::Restore(std::vector<SongRow> rows) {
  beginResetModel();
  rows_.clear();
  ids_.clear();
  // Kept rows come in key order; a repeated id or key (a file edited by hand) is dropped.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const SongRow& a, const SongRow& b) { return a.key < b.key; });
  for (SongRow& row : rows) {
    if (row.key < 0 || ids_.contains(row.id) || (!rows_.empty() && rows_.back().key == row.key)) {
      continue;
    }
    ids_.insert(row.id, row.key);
    rows_.push_back(std::move(row));
  }
  next_key_ = std::max(next_key_, rows_.empty() ? 0 : rows_.back().key + 1);
  endResetModel();
}

void SongListModel::Clear() {
  beginResetModel();
  rows_.clear();
  ids_.clear();
  // Keys are not given again, so a batch over the old rows never mistakes a new row for one.
  endResetModel();
}

void SongListModel::TicksChanged(int first, int last) {
  if (first > last) return;
  emit dataChanged(index(first, kColumnId), index(last, kColumnId), {Qt::CheckStateRole});
}

void SongListModel::SetTicked(int row, bool ticked) {
  if (row < 0 || row >= Count() || rows_[static_cast<size_t>(row)].ticked == ticked) return;
  rows_[static_cast<size_t>(row)].ticked = ticked;
  TicksChanged(row, row);
}

void SongListModel::TickAll() {
  int first = Count();
  int last = -1;
  for (int row = 0; row < Count(); ++row) {
    SongRow& song = rows_[static_cast<size_t>(row)];
    if (song.ticked) continue;
    song.ticked = true;
    first = std::min(first, row);
    last = row;
  }
  TicksChanged(first, last);
}

void SongListModel::UntickAll() {
  int first = Count();
  int last = -1;
  for (int row = 0; row < Count(); ++row) {
    SongRow& song = rows_[static_cast<size_t>(row)];
    if (!song.ticked) continue;
    song.ticked = false;
    first = std::min(first, row);
    last = row;
  }
  TicksChanged(first, last);
}

void SongListModel::InvertTicks() {
  for (SongRow& song : rows_) song.ticked = !song.ticked;
  TicksChanged(0, Count() - 1);
}

int SongListModel::TickTitlesContaining(const QString& keyword) {
  int found = 0;
  int first = Count();
  int last = -1;
  for (int row = 0; row < Count(); ++row) {
    SongRow& song = rows_[static_cast<size_t>(row)];
    if (!TrimText(song.title).contains(keyword, Qt::CaseSensitive)) continue;
    ++found;
    if (song.ticked) continue;
    song.ticked = true;
    first = std::min(first, row);
    last = row;
  }
  TicksChanged(first, last);
  return found;
}

void SongListModel::SetStatus(int row, RowStatus status, const QString& reason) {
  SetStatusOf(row, status, reason, 0, 0);
}

void SongListModel::SetRetryWait(int row, int retry, int retries) {
  SetStatusOf(row, RowStatus::kWaitingRetry, QString(), retry, retries);
}

void SongListModel::SetStatusOf(int row, RowStatus status, const QString& reason, int retry,
                                int retries) {
  if (row < 0 || row >= Count()) return;
  SongRow& song = rows_[static_cast<size_t>(row)];
  const bool had_bar = !song.progress_text.isEmpty();
  song.status = status;
  song.reason = reason;
  song.unfinished = false;
  song.retry = static_cast<int16_t>(retry);
  song.retries = static_cast<int16_t>(retries);
  song.progress_text.clear();
  song.percent = -1;
  const QModelIndex cell = index(row, kColumnStatus);
  QList<int> roles = {Qt::DisplayRole};
  if (had_bar) roles << SongStatusDelegate::kPercentRole << SongStatusDelegate::kProgressTextRole;
  emit dataChanged(cell, cell, roles);
}

void SongListModel::SetProgress(int row, int percent, const QString& text) {
  if (row < 0 || row >= Count()) return;
  SongRow& song = rows_[static_cast<size_t>(row)];
  if (song.progress_text == text && song.percent == percent) return;
  song.progress_text = text;
  song.percent = static_cast<int16_t>(text.isEmpty() ? -1 : std::clamp(percent, -1, 100));
  const QModelIndex cell = index(row, kColumnStatus);
  emit dataChanged(cell, cell,
                   {SongStatusDelegate::kPercentRole, SongStatusDelegate::kProgressTextRole});
}

}  // namespace mevra::app
