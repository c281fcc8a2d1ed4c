#pragma once

#include <QString>

namespace mevra::download {

// What the song list's status column says about a row.
enum class RowStatus {
  kWaiting,      // listed, not fetched yet
  kDownloading,  // its turn has come: link, transfer, save
  kSucceeded,
  kFiltered,      // saved, then removed by the small-file filter
  kFailed,        // with a reason
  kStopped,       // cut by the stop button, or by a batch that had to stop; with a reason
  kSkipped,       // saved before: not fetched at all
  kWaitingRetry,  // a try failed; the next one comes after a pause
  kInLibrary,     // a file of the music library is this song already: left unticked
};

// The status column's text; a failed or stopped row's text ends with its reason, a saved row's
// reason (what it lacks) stands for its text.
QString RowStatusText(RowStatus status, const QString& reason = QString());
// The text of a row waiting for retry `retry` of `retries`, e.g. "等待重试(2/3)".
QString RetryWaitText(int retry, int retries);

// Reasons a row fails for, in the user's words.
QString NoLinkReason(const QString& rate);
QString SaveFailedReason(const QString& system_text);
QString FilterSizeNotANumberReason();
QString StoppedReason();
// The disk of the save folder is full, or has no room for the file.
QString DiskFullReason();
// Why the other songs of a batch stopped when the disk was full.
QString DiskFullStopReason();
// A partial file that could not be continued: the server refused the range or sent another.
QString ResumeFailedReason(const QString& detail);
// The server sent a web page, a text or other bytes that are no song; with the reply's
// Content-Type when it gave one.
QString NotAudioReason(const QString& content_type);
// Another program holds the song's partial file.
QString PartLockedReason();
// A saved song whose offered cover or lyrics could not be had, e.g. "已保存（无封面）"; empty when
// it lacks neither.
QString SavedWithoutReason(bool cover_missing, bool lyrics_missing);
// The proxy, not the portal, failed the transfer; `detail` is the error's own message.
QString ProxyFailedReason(const QString& detail);
// The server sent no byte for `seconds`, on every try.
QString StalledReason(int seconds);

}  // namespace mevra::download
