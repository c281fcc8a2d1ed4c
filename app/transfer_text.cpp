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

QString SpeedText(double bytes_per_second) {
  constexpr double kMegabyte = 1024.0 * 1024.0;
  if (bytes_per_second >= kMegabyte) {
    return QString::number(bytes_per_second / kMegabyte, 'f', 1) + QStringLiteral("MB/s");
  }
  return QString::number(static_cast<int64_t>(bytes_per_second / 1024.0)) + QStringLiteral("KB/s");
}

QString RowProgressText(int64_t done, int64_t total, double bytes_per_second) {
  const QString amount = total > 0 ? QString::number(done * 100 / total) + QLatin1Char('%')
                                   : QString::number(done / 1024) + QLatin1Char('K');
  return QStringLiteral("下载中 ") + amount + QStringLiteral("  ") + SpeedText(bytes_per_second);
}

QString BatchProgressText(int finished, int ticked, int64_t bytes) {
  return QStringLiteral("已完成:") + QString::number(finished) + QLatin1Char('/') +
         QString::number(ticked) + QStringLiteral("首  已下载:") + QString::number(bytes / 1024) +
         QLatin1Char('K');
}

}  // namespace mevra::app
