#pragma once

#include <QString>

namespace mevra::download {

// What the song list's status column says about a row.
enum class RowStatus {
  kWaiting,      // listed, not fetched yet
  kDownloading,  // its turn has come: link, transfer, save
  kSucceeded,
  kFiltered,  // saved, then removed by the small-file filter
  kFailed,    // with a reason
  kStopped,   // cut by the stop button
};

// The status column's text; a failed row's text ends with its reason.
QString RowStatusText(RowStatus status, const QString& reason = QString());

// Reasons a row fails for, in the user's words.
QString NoLinkReason(const QString& rate);
QString SaveFailedReason(const QString& system_text);
QString FilterSizeNotANumberReason();
QString StoppedReason();

}  // namespace mevra::download
