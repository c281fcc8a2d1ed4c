#pragma once

#include <optional>

#include "download/song_task.h"

namespace mevra::download {

// Where a download queue takes its songs from, one at a time and in list order, as it gets room
// for them. The list may change while a batch runs: a song is only read when the queue comes to
// it, and asked about again before its turn.
class TaskList {
 public:
  virtual ~TaskList() = default;

  // The next song after those taken before, or nullopt at the end of the list.
  virtual std::optional<SongTask> TakeNext() = 0;
  // Whether a song taken earlier is still to be fetched: asked when its turn comes (`started`
  // false) and again right before its transfer (`started` true).
  virtual bool StillWanted(const SongTask& task, bool started) = 0;
};

}  // namespace mevra::download
