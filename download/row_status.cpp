#include "download/row_status.h"

#include <iterator>

namespace mevra::download {
namespace {

struct StatusText {
  RowStatus status;
  const char16_t* text;
};

// Every text the status column shows. A failed row's reason follows its text directly.
constexpr StatusText kStatusTexts[] = {
    {RowStatus::kWaiting, u"等待中"},       {RowStatus::kDownloading, u"下载中"},
    {RowStatus::kSucceeded, u"下载成功"},   {RowStatus::kFiltered, u"文件太小，已过滤"},
    {RowStatus::kFailed, u"下载失败"},      {RowStatus::kStopped, u"下载失败"},
    {RowStatus::kSkipped, u"已存在，跳过"}, {RowStatus::kWaitingRetry, u"等待重试"},
};

}  // namespace

QString RowStatusText(RowStatus status, const QString& reason) {
  for (const StatusText& entry : kStatusTexts) {
    if (entry.status != status) continue;
    const QString text = QString::fromUtf16(entry.text);
    if (status == RowStatus::kStopped) return text + (reason.isEmpty() ? StoppedReason() : reason);
    return status == RowStatus::kFailed ? text + reason : text;
  }
  return QString();
}

QString RetryWaitText(int retry, int retries) {
  return RowStatusText(RowStatus::kWaitingRetry) + u'(' + QString::number(retry) + u'/' +
         QString::number(retries) + u')';
}

QString NoLinkReason(const QString& rate) {
  return QStringLiteral("下载页面中没有") + rate + QStringLiteral("K的下载链接");
}

QString SaveFailedReason(const QString& system_text) {
  return QStringLiteral("无法保存文件：") + system_text;
}

QString FilterSizeNotANumberReason() { return QStringLiteral("过滤大小不是数字"); }

QString StoppedReason() { return QStringLiteral("用户中止下载"); }

QString DiskFullReason() { return QStringLiteral("保存位置的磁盘空间不足"); }

QString DiskFullStopReason() { return QStringLiteral("磁盘空间不足，下载已停止"); }

QString ResumeFailedReason(const QString& detail) { return QStringLiteral("无法续传：") + detail; }

}  // namespace mevra::download
