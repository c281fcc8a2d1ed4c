#include "download/row_status.h"

#include <QCoreApplication>
#include <iterator>

namespace mevra::download {
namespace {

struct StatusText {
  RowStatus status;
  const char* text;  // UTF-8, the source text of its translation
};

// Every text the status column shows. A failed row's reason follows its text directly.
constexpr StatusText kStatusTexts[] = {
    {RowStatus::kWaiting, QT_TRANSLATE_NOOP("RowStatus", "等待中")},
    {RowStatus::kDownloading, QT_TRANSLATE_NOOP("RowStatus", "下载中")},
    {RowStatus::kSucceeded, QT_TRANSLATE_NOOP("RowStatus", "下载成功")},
    {RowStatus::kFiltered, QT_TRANSLATE_NOOP("RowStatus", "文件太小，已过滤")},
    {RowStatus::kFailed, QT_TRANSLATE_NOOP("RowStatus", "下载失败")},
    {RowStatus::kStopped, QT_TRANSLATE_NOOP("RowStatus", "下载失败")},
    {RowStatus::kSkipped, QT_TRANSLATE_NOOP("RowStatus", "已存在，跳过")},
    {RowStatus::kWaitingRetry, QT_TRANSLATE_NOOP("RowStatus", "等待重试")},
    {RowStatus::kInLibrary, QT_TRANSLATE_NOOP("RowStatus", "已在音乐库")},
};

QString Tr(const char* text) { return QCoreApplication::translate("RowStatus", text); }

}  // namespace

QString RowStatusText(RowStatus status, const QString& reason) {
  for (const StatusText& entry : kStatusTexts) {
    if (entry.status != status) continue;
    const QString text = Tr(entry.text);
    if (status == RowStatus::kStopped) return text + (reason.isEmpty() ? StoppedReason() : reason);
    if (status == RowStatus::kSucceeded && !reason.isEmpty()) return reason;
    return status == RowStatus::kFailed ? text + reason : text;
  }
  return QString();
}

QString RetryWaitText(int retry, int retries) {
  return RowStatusText(RowStatus::kWaitingRetry) + u'(' + QString::number(retry) + u'/' +
         QString::number(retries) + u')';
}

QString NoLinkReason(const QString& rate) {
  return QCoreApplication::translate("RowStatus", "下载页面中没有%1K的下载链接").arg(rate);
}

QString SaveFailedReason(const QString& system_text) {
  return QCoreApplication::translate("RowStatus", "无法保存文件：%1").arg(system_text);
}

QString FilterSizeNotANumberReason() {
  return QCoreApplication::translate("RowStatus", "过滤大小不是数字");
}

QString StoppedReason() { return QCoreApplication::translate("RowStatus", "用户中止下载"); }

QString DiskFullReason() {
  return QCoreApplication::translate("RowStatus", "保存位置的磁盘空间不足");
}

QString DiskFullStopReason() {
  return QCoreApplication::translate("RowStatus", "磁盘空间不足，下载已停止");
}

QString ResumeFailedReason(const QString& detail) {
  return QCoreApplication::translate("RowStatus", "无法续传：%1").arg(detail);
}

QString NotAudioReason(const QString& content_type) {
  if (content_type.isEmpty()) {
    return QCoreApplication::translate("RowStatus", "服务器返回的不是音频文件");
  }
  return QCoreApplication::translate("RowStatus", "服务器返回的不是音频文件（%1）")
      .arg(content_type);
}

QString PartLockedReason() {
  return QCoreApplication::translate("RowStatus", "另一个程序正在下载这首歌");
}

QString SavedWithoutReason(bool cover_missing, bool lyrics_missing) {
  if (cover_missing && lyrics_missing) {
    return QCoreApplication::translate("RowStatus", "已保存（无封面、无歌词）");
  }
  if (cover_missing) return QCoreApplication::translate("RowStatus", "已保存（无封面）");
  if (lyrics_missing) return QCoreApplication::translate("RowStatus", "已保存（无歌词）");
  return QString();
}

QString ProxyFailedReason(const QString& detail) {
  return QCoreApplication::translate("RowStatus", "代理服务器出错：%1").arg(detail);
}

QString StalledReason(int seconds) {
  return QCoreApplication::translate("RowStatus", "服务器%1秒没有发来数据").arg(seconds);
}

}  // namespace mevra::download
