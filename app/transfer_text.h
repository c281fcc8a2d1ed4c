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

}  // namespace mevra::app
