#include "app/transfer_text.h"

namespace mevra::app {

int64_t TransferPercent(int32_t done, int32_t total) {
  if (total == 0) return 0;
  return static_cast<int64_t>(done) * 100 / total;
}

uint16_t IndicatorPercent(int64_t percent) { return static_cast<uint16_t>(percent & 0xFFFF); }

QString DownloadProgressText(const QString& title, int32_t done, int32_t total,
                             int32_t saved_songs) {
  return QStringLiteral("《") + title + QStringLiteral("》已下载:") + QString::number(done / 1024) +
         QStringLiteral("K  总大小:") + QString::number(total / 1024) +
         QStringLiteral("K  已下载:") + QString::number(saved_songs) + QStringLiteral("首");
}

QString PreviewProgressText(const QString& title, int32_t done, int32_t total) {
  const QString amount = total == 0
                             ? QString::number(done / 1024) + QLatin1Char('K')
                             : QString::number(TransferPercent(done, total)) + QLatin1Char('%');
  return QStringLiteral("《") + title + QStringLiteral("》正在缓冲") + amount +
         QStringLiteral("，请稍等...");
}

}  // namespace mevra::app
