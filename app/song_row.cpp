#include "app/song_row.h"

#include <iterator>

namespace mevra::app {
namespace {

using download::RowStatus;

struct StatusCode {
  RowStatus status;
  const char* code;
};

constexpr StatusCode kStatusCodes[] = {
    {RowStatus::kWaiting, "waiting"},   {RowStatus::kDownloading, "downloading"},
    {RowStatus::kSucceeded, "saved"},   {RowStatus::kFiltered, "filtered"},
    {RowStatus::kFailed, "failed"},     {RowStatus::kStopped, "stopped"},
    {RowStatus::kSkipped, "skipped"},   {RowStatus::kWaitingRetry, "retrying"},
    {RowStatus::kInLibrary, "library"},
};

}  // namespace

QString RowStatusCode(RowStatus status) {
  for (const StatusCode& entry : kStatusCodes) {
    if (entry.status == status) return QString::fromLatin1(entry.code);
  }
  return QStringLiteral("waiting");
}

std::optional<RowStatus> RowStatusFromCode(const QString& code) {
  for (const StatusCode& entry : kStatusCodes) {
    if (code == QLatin1String(entry.code)) return entry.status;
  }
  return std::nullopt;
}

}  // namespace mevra::app
