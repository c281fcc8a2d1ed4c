#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <optional>

#include "download/download_policies.h"
#include "download/job_result.h"
#include "download/song_task.h"

namespace mevra::net {
class AbortLatch;
}

namespace mevra::download {

class PartFileStream;

// Puts a song whose whole body is in its part file in place, on the transfer's thread, so that
// a slow disk never holds up the window: the small-file filter judges the part file, tags go
// in, the bytes are synced, the part file takes the name the policies give at that moment, the
// folder is synced, the song's own stale part files go, and only then is the song recorded as
// saved. A song that is not saved leaves nothing behind but the user's files as they were.
class SongSaver {
 public:
  // `base_name` is the song's file name without extension, as the save folder takes it; `link`
  // the file link as part records keep it.
  SongSaver(SongTask task, DownloadPolicies policies, QString part_path, QString base_name,
            QString link);

  // The song's cover and lyrics on the music host, as its page offers them; empty: none.
  void SetExtrasSource(QString cover_url, QString lyrics_url);
  // The transfer's stop, which also ends the fetch of a cover or lyrics.
  void SetAbortLatch(std::shared_ptr<net::AbortLatch> latch) { latch_ = std::move(latch); }

  // `file` is the part file, still open and locked. nullopt when `stopped` was set before
  // anything changed: the part file then stays as it is.
  std::optional<JobResult> Save(PartFileStream& file, const std::atomic<bool>& stopped) const;

 private:
  bool Preview() const { return !task_.fixed_path.isEmpty(); }
  void Step(SaveStep step) const;
  // The part file and its record go.
  void Discard() const;
  // Removes the part files that earlier tries of this song from this link left beside its
  // name, unless another transfer holds one of them.
  void RemoveStaleParts() const;

  SongTask task_;
  DownloadPolicies policies_;
  QString part_path_;
  QString base_name_;
  QString link_;
  QString cover_url_;
  QString lyrics_url_;
  std::shared_ptr<net::AbortLatch> latch_;
};

}  // namespace mevra::download
