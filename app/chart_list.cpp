#include "app/chart_list.h"

#include <QCoreApplication>

#include "app/text_trim.h"

namespace mevra::app {

QString ChartItemText(const Chart& chart, const QString& music_base_url) {
  return QCoreApplication::translate("Charts", chart.name) +
         QString(kChartBlankRun, QLatin1Char(' ')) + music_base_url + QString::fromUtf8(chart.path);
}

QString ChartItemUrl(const QString& item_text) {
  const std::string text = TrimText(item_text).toStdString();
  const size_t last_blank = text.rfind(' ');
  if (last_blank == std::string::npos) return QString();
  return QString::fromUtf8(text.substr(last_blank + 1));
}

}  // namespace mevra::app
