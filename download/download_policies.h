#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "download/limits.h"
#include "download/song_extras.h"

namespace mevra::download {

class DownloadArchive;
class RateLimiter;
class SpaceAccount;

// What happens to a song whose file name is taken in the save folder already.
enum class ExistingFilePolicy {
  kRename,     // saved beside it under "_new" and the rate, as the program always did
  kSkip,       // not fetched at all
  kOverwrite,  // replaced in one step
};

// The policy's name in config.ini: "rename", "skip" or "overwrite".
QString ExistingFilePolicyName(ExistingFilePolicy policy);
// nullopt for a text that names none (compared without regard to case, blanks ignored).
std::optional<ExistingFilePolicy> ParseExistingFilePolicy(const QString& text);

// The steps that put a complete song in place, in their order.
enum class SaveStep {
  kWriteTags,   // the song's id, and the tags, cover and lyrics the policies ask for
  kSyncFile,    // the part file's bytes go to the disk
  kRename,      // the part file takes the song's name
  kSyncFolder,  // the new name goes to the disk
  kArchive,     // the song is recorded as saved
};

// How the songs of a batch are fetched and saved, beyond where and under which name.
struct DownloadPolicies {
  ExistingFilePolicy existing_file = ExistingFilePolicy::kRename;
  // Further tries after a failure that may pass (a dropped connection, a busy server).
  int retries = kDefaultRetries;
  // The first retry's wait; each further one doubles it. Tests shorten it.
  int64_t retry_backoff_base_ms = kRetryBackoffBaseMs;
  // Title and artist written into a saved file that carries none.
  bool write_tags = false;
  // The cover and lyrics a saved song gets when its page offers them.
  ExtrasOptions extras;
  // Songs saved before, to be skipped, and where each new one is recorded; null: none kept.
  std::shared_ptr<DownloadArchive> archive;
  // Shared by every transfer, so the cap holds for all of them together; null: no cap.
  std::shared_ptr<RateLimiter> rate_limiter;
  // Free space a transfer leaves on the disk beyond the file's announced size.
  int64_t free_space_margin = kFreeSpaceMarginBytes;
  // Where the running transfers claim the room their files need, so that the check holds for
  // all of them together; the queue gives each batch one when none is set.
  std::shared_ptr<SpaceAccount> space;
  // A transfer that gets no byte for this long fails and is tried again. Tests shorten it.
  int64_t stall_timeout_ms = int64_t{kDefaultStallSeconds} * 1000;
  // Runs on the transfer's thread as each step of putting a song in place begins; tests watch
  // the order and slow a step down. Null: nothing runs.
  std::function<void(SaveStep step)> on_save_step;
};

}  // namespace mevra::download
