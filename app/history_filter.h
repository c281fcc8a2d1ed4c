#pragma once

#include <vector>

#include "app/session_database.h"

namespace mevra::app {

// The history window's filter: every song, the saved ones, or those that failed or stopped.
enum class HistoryFilter { kAll, kSucceeded, kFailed };

bool HistoryFilterAccepts(HistoryFilter filter, download::RowStatus outcome);

// The songs "重试失败" puts back into the list: those the filter shows as failed or stopped,
// each song once and oldest first, leaving out a song whose newest entry says it was saved or
// found saved since, which a retry would only fetch a second time. `entries` are newest first.
std::vector<HistoryEntry> SongsToRetry(const std::vector<HistoryEntry>& entries,
                                       HistoryFilter filter);

}  // namespace mevra::app
