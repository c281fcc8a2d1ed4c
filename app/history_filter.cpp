#include "app/history_filter.h"

#include <QSet>
#include <algorithm>

namespace mevra::app {
namespace {

using download::RowStatus;

bool Failed(RowStatus outcome) {
  return outcome == RowStatus::kFailed || outcome == RowStatus::kStopped;
}

}  // namespace

bool HistoryFilterAccepts(HistoryFilter filter, RowStatus outcome) {
  switch (filter) {
    case HistoryFilter::kAll:
      return true;
    case HistoryFilter::kSucceeded:
      return outcome == RowStatus::kSucceeded;
    case HistoryFilter::kFailed:
      return Failed(outcome);
  }
  return false;
}

std::vector<HistoryEntry> SongsToRetry(const std::vector<HistoryEntry>& entries,
                                       HistoryFilter filter) {
  std::vector<HistoryEntry> songs;
  QSet<QString> decided;
  // The newest entry of a song decides whether it is still to be fetched.
  for (const HistoryEntry& entry : entries) {
    if (decided.contains(entry.id)) continue;
    decided.insert(entry.id);
    if (Failed(entry.outcome) && HistoryFilterAccepts(filter, entry.outcome)) {
      songs.push_back(entry);
    }
  }
  std::reverse(songs.begin(), songs.end());
  return songs;
}

}  // namespace mevra::app
