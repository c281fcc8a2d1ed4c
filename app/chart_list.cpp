#include "app/chart_list.h"

#include "app/song_harvest.h"
#include "app/text_trim.h"

namespace mevra::app {

QString ChartItemText(const Chart& chart, const QString& music_base_url) {
  return QString::fromUtf8(chart.name) + QString(kChartBlankRun, QLatin1Char(' ')) +
         music_base_url + QString::fromUtf8(chart.path);
}

QString ChartItemUrl(const QString& item_text) {
  const std::string text = TrimText(item_text).toStdString();
  const SplitParts parts = SplitAtFirst(text, " ");
  return TrimText(
      QString::fromUtf8(parts.after.data(), static_cast<qsizetype>(parts.after.size())));
}

}  // namespace mevra::app
