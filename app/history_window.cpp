#include "app/history_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "download/row_status.h"

namespace mevra::app {
namespace {

enum HistoryColumn { kTime, kId, kTitle, kSinger, kRate, kSize, kOutcome, kFile, kColumns };

// Where an item's entry lies in entries_, counted from the oldest, so prepending keeps it.
constexpr int kEntryRole = Qt::UserRole + 1;

QString SizeText(int64_t bytes) {
  if (bytes <= 0) return QString();
  constexpr double kMegabyte = 1024.0 * 1024.0;
  if (bytes >= kMegabyte) return QString::number(bytes / kMegabyte, 'f', 1) + QStringLiteral("MB");
  return QString::number((bytes + 1023) / 1024) + QStringLiteral("KB");
}

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("下载记录"));
  HistoryControls& c = controls_;
  c.cbb_filter = new QComboBox(this);
  c.cbb_filter->addItems({tr("全部"), tr("成功"), tr("失败")});
  c.tv_history = new QTreeWidget(this);
  c.tv_history->setRootIsDecorated(false);
  c.tv_history->setUniformRowHeights(true);
  c.tv_history->setSelectionMode(QAbstractItemView::SingleSelection);
  c.tv_history->setHeaderLabels({tr("时间"), tr("歌曲编号"), tr("歌曲名"), tr("歌手名"), tr("音质"),
                                 tr("大小"), tr("结果"), tr("文件")});
  const int widths[kColumns] = {140, 80, 160, 110, 50, 70, 180, 240};
  for (int column = 0; column < kColumns; ++column) {
    c.tv_history->setColumnWidth(column, widths[column]);
  }
  c.btn_openfolder = new QPushButton(tr("打开文件夹"), this);
  c.btn_clearhistory = new QPushButton(tr("清空记录"), this);
  c.btn_retry = new QPushButton(tr("重试失败"), this);

  auto* top = new QHBoxLayout;
  top->addWidget(c.cbb_filter);
  top->addStretch(1);
  top->addWidget(c.btn_openfolder);
  top->addWidget(c.btn_clearhistory);
  top->addWidget(c.btn_retry);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(c.tv_history, 1);
  resize(1000, 500);

  connect(c.cbb_filter, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
  connect(c.tv_history, &QTreeWidget::currentItemChanged, this, [this] { CurrentChanged(); });
  connect(c.btn_openfolder, &QPushButton::clicked, this, [this] {
    QTreeWidgetItem* item = controls_.tv_history->currentItem();
    if (!item || !OnOpenFolder) return;
    const HistoryEntry& entry = EntryOfRow(controls_.tv_history->indexOfTopLevelItem(item));
    OnOpenFolder(QFileInfo(entry.file).absolutePath());
  });
  connect(c.btn_clearhistory, &QPushButton::clicked, this, [this] {
    if (OnClear) OnClear();
  });
  connect(c.btn_retry, &QPushButton::clicked, this, [this] {
    if (OnRetry) OnRetry(SongsToRetry(entries_, Filter()));
  });
  Fill();
}

HistoryFilter HistoryWindow::Filter() const {
  return static_cast<HistoryFilter>(std::max(controls_.cbb_filter->currentIndex(), 0));
}

void HistoryWindow::SetEntries(std::vector<HistoryEntry> entries) {
  entries_ = std::move(entries);
  Fill();
}

void HistoryWindow::Prepend(const HistoryEntry& entry) {
  entries_.insert(entries_.begin(), entry);
  if (HistoryFilterAccepts(Filter(), entry.outcome)) AddItem(0, true);
  controls_.btn_retry->setEnabled(retry_enabled_ && !entries_.empty());
  controls_.btn_clearhistory->setEnabled(!entries_.empty());
}

void HistoryWindow::SetRetryEnabled(bool enabled) {
  retry_enabled_ = enabled;
  controls_.btn_retry->setEnabled(retry_enabled_ && !entries_.empty());
}

const HistoryEntry& HistoryWindow::EntryOfRow(int row) const {
  const QTreeWidgetItem* item = controls_.tv_history->topLevelItem(row);
  const auto from_oldest = static_cast<size_t>(item->data(0, kEntryRole).toLongLong());
  return entries_[entries_.size() - 1 - from_oldest];
}

void HistoryWindow::AddItem(int entry, bool at_top) {
  const HistoryEntry& e = entries_[static_cast<size_t>(entry)];
  auto* item = new QTreeWidgetItem;
  item->setText(kTime, QDateTime::fromMSecsSinceEpoch(e.time_ms).toString(
                           QStringLiteral("yyyy-MM-dd HH:mm:ss")));
  item->setText(kId, e.id);
  item->setText(kTitle, e.title);
  item->setText(kSinger, e.singer);
  item->setText(kRate, e.rate.isEmpty() ? QString() : e.rate + QLatin1Char('K'));
  item->setText(kSize, SizeText(e.size));
  item->setText(kOutcome, download::RowStatusText(e.outcome, e.reason));
  item->setText(kFile, e.file);
  item->setToolTip(kFile, e.file);
  item->setData(0, kEntryRole,
                static_cast<qlonglong>(entries_.size() - 1 - static_cast<size_t>(entry)));
  if (at_top) {
    controls_.tv_history->insertTopLevelItem(0, item);
  } else {
    controls_.tv_history->addTopLevelItem(item);
  }
}

void HistoryWindow::Fill() {
  controls_.tv_history->clear();
  const HistoryFilter filter = Filter();
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (HistoryFilterAccepts(filter, entries_[i].outcome)) AddItem(static_cast<int>(i), false);
  }
  controls_.btn_retry->setEnabled(retry_enabled_ && !entries_.empty());
  controls_.btn_clearhistory->setEnabled(!entries_.empty());
  CurrentChanged();
}

void HistoryWindow::CurrentChanged() {
  QTreeWidgetItem* item = controls_.tv_history->currentItem();
  bool saved = false;
  if (item) {
    const HistoryEntry& entry = EntryOfRow(controls_.tv_history->indexOfTopLevelItem(item));
    saved = entry.outcome == download::RowStatus::kSucceeded && !entry.file.isEmpty();
  }
  controls_.btn_openfolder->setEnabled(saved);
}

}  // namespace mevra::app
