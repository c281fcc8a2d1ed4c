#pragma once

#include <cstdint>

#include "download/transfer_progress.h"

namespace mevra::download {

// Where a batch stands as a whole, counted by the queue, for a display that only shows it.
struct BatchProgress {
  // Where the one transfer of a batch that fetches one song at a time stands.
  enum class Phase {
    kNone,       // no transfer running: between songs, or several at once
    kBegun,      // its request is out, nothing received yet
    kReceiving,  // `current` holds its counts
    kEnded,      // its body is in or it broke off
  };

  int parallel = 1;  // transfers at once
  // Songs the caller expected to be fetched when the batch started; never fewer than finished.
  int expected = 0;
  // Songs that had their turn and ended, one way or another.
  int finished = 0;
  int saved = 0;
  int filtered = 0;
  int skipped = 0;
  int failed = 0;
  int stopped = 0;
  // What the saved songs hold, plus what the transfers of the songs still running have so far.
  int64_t bytes = 0;
  // All running transfers together.
  double bytes_per_second = 0;
  int running = 0;  // transfers running now

  // With one transfer at a time: its song's key, phase and counts.
  int current_key = -1;
  Phase phase = Phase::kNone;
  TransferProgress current;
};

}  // namespace mevra::download
