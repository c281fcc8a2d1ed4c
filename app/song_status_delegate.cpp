#include "app/song_status_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

namespace mevra::app {

void SongStatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  const QVariant percent = index.data(kPercentRole);
  if (!percent.isValid()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  // The row's selection stays visible behind the bar.
  QStyleOptionViewItem background = option;
  initStyleOption(&background, index);
  background.text.clear();
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

  QStyleOptionProgressBar bar;
  bar.rect = option.rect.adjusted(1, 1, -1, -1);
  bar.state = option.state | QStyle::State_Horizontal;
  bar.direction = option.direction;
  bar.fontMetrics = option.fontMetrics;
  bar.palette = option.palette;
  bar.minimum = 0;
  bar.maximum = 100;
  // An unknown length shows an empty bar with the bytes in its text, not a busy animation.
  bar.progress = std::max(percent.toInt(), 0);
  bar.text = index.data(kProgressTextRole).toString();
  bar.textVisible = true;
  bar.textAlignment = Qt::AlignCenter;
  style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

}  // namespace mevra::app
