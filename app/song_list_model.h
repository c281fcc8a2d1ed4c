#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <vector>

#include "app/song_row.h"

namespace mevra::app {

// The song list: one row per song, with its tick, its status and, while its file comes in, its
// progress. Rows only ever go in at the end, and leave all together, so a row's key grows with
// its position and finds the row by a binary search.
//
// Every change is reported with the roles it touches: Qt::CheckStateRole for ticks,
// Qt::DisplayRole on the status column for statuses, the delegate's progress roles for
// progress; the session writes the first two and ignores the third.
class SongListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The id column carries the row's check box.
  enum Column { kColumnId = 0, kColumnTitle = 1, kColumnSinger = 2, kColumnStatus = 3 };
  static constexpr int kColumnCount = 4;

  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Ticks and unticks through the check box (mouse and space bar); nothing else is editable.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  int Count() const { return static_cast<int>(rows_.size()); }
  const SongRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  // What the row's cell shows; the status column's text includes the reason.
  QString Text(int row, Column column) const;
  static QString StatusText(const SongRow& row);
  bool Contains(const QString& id) const { return ids_.contains(id); }
  // The row of a song, or -1 when it is not listed.
  int RowOfId(const QString& id) const;
  // The row of a key, or -1 once that row has left the list.
  int RowOfKey(int key) const;
  // Every key of a row listed now is below this one.
  int NextKey() const { return next_key_; }

  // Appends the songs whose ids are not listed yet (the first of repeats within `songs` wins),
  // unticked and waiting, with one insert. Returns how many went in.
  int Append(const std::vector<SongRow>& songs);
  // Replaces the whole list with rows kept from an earlier run; their keys stay as they were.
  void Restore(std::vector<SongRow> rows);
  void Clear();

  void SetTicked(int row, bool ticked);
  void TickAll();
  void UntickAll();
  void InvertTicks();
  // Ticks every song whose title, without its surrounding blanks, contains `keyword` (case
  // counts); the others keep their ticks. Returns how many titles matched.
  int TickTitlesContaining(const QString& keyword);

  // A new status ends any progress bar, a retry wait and the mark of an unfinished transfer.
  void SetStatus(int row, download::RowStatus status, const QString& reason = QString());
  void SetRetryWait(int row, int retry, int retries);
  // Shows a bar in the status cell, or plain text again with an empty `text`.
  void SetProgress(int row, int percent, const QString& text);

 private:
  void TicksChanged(int first, int last);
  void SetStatusOf(int row, download::RowStatus status, const QString& reason, int retry,
                   int retries);

  std::vector<SongRow> rows_;
  // The key of each id listed, so a harvest's lookups stay cheap on long lists.
  QHash<QString, int> ids_;
  int next_key_ = 0;
};

}  // namespace mevra::app
