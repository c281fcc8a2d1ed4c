#pragma once

#include <QStyledItemDelegate>

namespace mevra::app {

// Draws the status cell of a song whose file is coming in as a progress bar with its text
// ("下载中 45%  1.2MB/s"); every other cell as usual. The bar's fill (0 to 100, or -1 when the
// length is unknown) and text live in the cell under the two roles below; a cell without them is
// plain text.
class SongStatusDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kPercentRole = Qt::UserRole + 1;
  static constexpr int kProgressTextRole = Qt::UserRole + 2;

  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace mevra::app
