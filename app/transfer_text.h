#pragma once

#include <QString>
#include <cstdint>

namespace mevra::app {

// Percentage of a transfer, done * 100 div total without overflow for any 32-bit count. A
// transfer that announces no length (total 0) has no percentage and shows 0.
int64_t TransferPercent(int32_t done, int32_t total);

// The indicator takes the low 16 bits of a wider percentage.
uint16_t IndicatorPercent(int64_t percent);

// Status text of a running batch transfer, e.g.
// 《歌名》已下载:2441K  总大小:4882K  已下载:0首 (two blanks after each K).
QString DownloadProgressText(const QString& title, int32_t done, int32_t total,
                             int32_t saved_songs);

// Status text of a running preview transfer: the buffered percentage, or the buffered
// kilobytes when the server announced no length.
QString PreviewProgressText(const QString& title, int32_t done, int32_t total);

// A transfer's speed for a person: "1.2MB/s" from one megabyte a second on, "850KB/s" below.
QString SpeedText(double bytes_per_second);

// The status cell of a row whose file is coming in: "下载中 45%  1.2MB/s", or with the
// kilobytes so far when the server announced no length: "下载中 1234K  1.2MB/s".
QString RowProgressText(int64_t done, int64_t total, double bytes_per_second);

// The status pane while several songs come at once: the songs finished of those ticked and the
// kilobytes fetched so far, e.g. 已完成:3/10首  已下载:12345K.
QString BatchProgressText(int finished, int ticked, int64_t bytes);

}  // namespace mevra::app
