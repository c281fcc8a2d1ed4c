#include "app/transfer_text.h"

#include <QCoreApplication>

namespace mevra::app {

int64_t TransferPercent(int32_t done, int32_t total) {
  if (total == 0) return 0;
  return static_cast<int64_t>(done) * 100 / total;
}

uint16_t IndicatorPercent(int64_t percent) { return static_cast<uint16_t>(percent & 0xFFFF); }

QString DownloadProgressText(const QString& title, int32_t done, int32_t total,
                             int32_t saved_songs) {
  return QCoreApplication::translate("TransferText", "《%1》已下载:%2K  总大小:%3K  已下载:%4首")
      .arg(title, QString::number(done / 1024), QString::number(total / 1024),
           QString::number(saved_songs));
}

QString PreviewProgressText(const QString& title, int32_t done, int32_t total) {
  const QString amount = total == 0
                             ? QString::number(done / 1024) + QLatin1Char('K')
                             : QString::number(TransferPercent(done, total)) + QLatin1Char('%');
  return QCoreApplication::translate("TransferText", "《%1》正在缓冲%2，请稍等...")
      .arg(title, amount);
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
  return QCoreApplication::translate("TransferText", "下载中 %1  %2")
      .arg(amount, SpeedText(bytes_per_second));
}

QString BatchProgressText(int finished, int ticked, int64_t bytes) {
  return QCoreApplication::translate("TransferText", "已完成:%1/%2首  已下载:%3K")
      .arg(QString::number(finished), QString::number(ticked), QString::number(bytes / 1024));
}

}  // namespace mevra::app
