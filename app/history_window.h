#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "app/history_filter.h"
#include "app/session_database.h"

class QComboBox;
class QPushButton;
class QTreeWidget;

namespace mevra::app {

// The window's controls, named and built once, owned by the window.
struct HistoryControls {
  QComboBox* cbb_filter = nullptr;  // in the order of HistoryFilter
  QTreeWidget* tv_history = nullptr;
  QPushButton* btn_openfolder = nullptr;
  QPushButton* btn_clearhistory = nullptr;
  QPushButton* btn_retry = nullptr;
};

// "下载记录": every song that ended, newest first, under a filter; the folder of a saved song
// opens, the history can be emptied, and the failed songs the filter shows can be fetched
// again. It only shows: the main window keeps the history and acts on the events.
class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  explicit HistoryWindow(QWidget* parent = nullptr);

  // Newest first.
  void SetEntries(std::vector<HistoryEntry> entries);
  // A song that just ended.
  void Prepend(const HistoryEntry& entry);
  HistoryFilter Filter() const;
  // "重试失败" is refused while a batch runs.
  void SetRetryEnabled(bool enabled);
  const HistoryControls& Controls() const { return controls_; }
  // The entry a row of the list shows.
  const HistoryEntry& EntryOfRow(int row) const;

  std::function<void(const QString& folder)> OnOpenFolder;
  // The user asked to empty the history; the caller confirms and does it.
  std::function<void()> OnClear;
  std::function<void(const std::vector<HistoryEntry>& songs)> OnRetry;

 private:
  void Fill();
  void AddItem(int entry, bool at_top);
  void CurrentChanged();

  HistoryControls controls_;
  std::vector<HistoryEntry> entries_;  // newest first
  bool retry_enabled_ = true;
};

}  // namespace mevra::app
