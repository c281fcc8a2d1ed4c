#include "download/song_saver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "download/download_archive.h"
#include "download/download_error.h"
#include "download/file_naming.h"
#include "download/limits.h"
#include "download/lyrics_text.h"
#include "download/part_file_info.h"
#include "download/part_file_stream.h"
#include "download/song_extras.h"
#include "download/tag_writer.h"

namespace mevra::download {
namespace {

QString SystemText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Puts a folder's entries on the disk. File systems that cannot sync a folder say EINVAL; their
// names are as safe as they get.
int SyncFolder(const QString& folder) {
  const int descriptor =
      ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  const int code = ::fsync(descriptor) == 0 || errno == EINVAL ? 0 : errno;
  ::close(descriptor);
  return code;
}

// Syncs `folder` and each folder above it up to and with `top`, when `folder` lies below it.
int SyncFoldersUpTo(const QString& folder, const QString& top) {
  const QString stop = QDir::cleanPath(QFileInfo(top).absoluteFilePath());
  QString at = QDir::cleanPath(folder);
  for (;;) {
    if (const int code = SyncFolder(at); code != 0) return code;
    if (at == stop || !at.startsWith(stop + QLatin1Char('/'))) return 0;
    at = QFileInfo(at).absolutePath();
  }
}

}  // namespace

SongSaver::SongSaver(SongTask task, DownloadPolicies policies, QString part_path, QString base_name,
                     QString link)
    : task_(std::move(task)),
      policies_(std::move(policies)),
      part_path_(std::move(part_path)),
      base_name_(std::move(base_name)),
      link_(std::move(link)) {}

void SongSaver::SetExtrasSource(QString cover_url, QString lyrics_url) {
  cover_url_ = std::move(cover_url);
  lyrics_url_ = std::move(lyrics_url);
}

void SongSaver::Step(SaveStep step) const {
  if (policies_.on_save_step) policies_.on_save_step(step);
}

void SongSaver::Discard() const {
  QFile::remove(part_path_);
  PartFileInfo::Remove(part_path_);
}

std::optional<JobResult> SongSaver::Save(PartFileStream& file,
                                         const std::atomic<bool>& stopped) const {
  if (stopped) return std::nullopt;
  try {
    // The filter judges the part file, so a song it removes never touches a file of the user's.
    if (!Preview() && task_.filter.enabled) {
      const std::optional<bool> removes =
          SizeFilterRemoves(file.FileBytes(), task_.filter.megabytes);
      if (!removes || *removes) {
        Discard();
        if (!removes) return JobResult{RowStatus::kFailed, FilterSizeNotANumberReason(), {}};
        return JobResult{RowStatus::kFiltered, {}, {}};
      }
    }
    // Tags go in before the rename, so the finished name never holds a file being rewritten.
    // A cover or lyrics that cannot be had cost the song nothing; the row says what is missing.
    SongExtras extras;
    if (!Preview()) {
      extras = FetchSongExtras(cover_url_, lyrics_url_, policies_.extras, task_.ca_file, latch_);
      SongTags tags;
      tags.missing_title_artist = policies_.write_tags;
      tags.title = task_.title;
      tags.artist = task_.singer;
      tags.song_id = task_.id;
      if (policies_.extras.embed_cover) tags.cover_jpeg = extras.cover_jpeg;
      if (policies_.extras.EmbedsLyrics() && !extras.lyrics.isEmpty()) {
        const ParsedLyrics lyrics = ParseLyrics(QString::fromUtf8(extras.lyrics));
        tags.lyrics = lyrics.plain;
        tags.timed_lines = lyrics.timed;
      }
      Step(SaveStep::kWriteTags);
      if (!WriteSongTags(part_path_, tags)) {
        if (!tags.cover_jpeg.isEmpty()) extras.cover_missing = true;
        if (!tags.lyrics.isEmpty() && !policies_.extras.WritesLrc()) extras.lyrics_missing = true;
      }
    }
    // The preview's temporary file is played at once and never kept; it needs no sync.
    if (!Preview()) {
      Step(SaveStep::kSyncFile);
      file.Sync();
    }
    if (stopped) return std::nullopt;

    // The "_new" rule looks at the folder now, after every song saved before this one.
    const QString target =
        Preview() ? task_.fixed_path
        : policies_.existing_file == ExistingFilePolicy::kRename
            ? SongSavePath(task_.save_folder, base_name_, task_.rate,
                           [](const QString& path) { return QFileInfo::exists(path); })
            : task_.save_folder + QLatin1Char('/') + base_name_ + QStringLiteral(".mp3");
    const QByteArray from = QFile::encodeName(part_path_);
    const QByteArray to = QFile::encodeName(target);
    // A plain rename replaces a file of the final name in one step, as "overwrite" and the
    // "_new" rule's second collision want. Under "skip" a file that appeared meanwhile is never
    // replaced.
    const bool no_replace = !Preview() && policies_.existing_file == ExistingFilePolicy::kSkip;
    Step(SaveStep::kRename);
    const int renamed = no_replace ? ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD,
                                                 to.constData(), RENAME_NOREPLACE)
                                   : std::rename(from.constData(), to.constData());
    if (renamed != 0) {
      const int code = errno;
      Discard();
      if (no_replace && code == EEXIST) return JobResult{RowStatus::kSkipped, {}, {}};
      return JobResult{RowStatus::kFailed, SaveFailedReason(SystemText(code)), {}};
    }
    PartFileInfo::Remove(part_path_);
    if (Preview()) return JobResult{RowStatus::kSucceeded, {}, target};

    Step(SaveStep::kSyncFolder);
    // The song's own folder, and up to the save folder those a name template made for it, so
    // that the folders holding the new name survive a power cut too.
    if (const int code = SyncFoldersUpTo(QFileInfo(target).absolutePath(), task_.save_folder);
        code != 0) {
      // The file is there, but it may not survive a power cut; it is not recorded as saved.
      return JobResult{RowStatus::kFailed, SaveFailedReason(SystemText(code)), {}};
    }
    RemoveStaleParts();
    // Recorded once the file is there for good; a record that cannot be written costs the
    // song nothing, only its skipping next time.
    if (policies_.archive) {
      Step(SaveStep::kArchive);
      // The size on the disk, which the tag has made larger than the bytes that came.
      policies_.archive->Add(task_.id, task_.rate, target, QFileInfo(target).size());
    }
    if (policies_.extras.WritesLrc() && !extras.lyrics.isEmpty() &&
        !WriteLrcFile(target, extras.lyrics)) {
      extras.lyrics_missing = true;
    }
    if (policies_.extras.save_cover && !extras.cover_jpeg.isEmpty() &&
        !SaveFolderCover(QFileInfo(target).absolutePath(), extras.cover_jpeg)) {
      extras.cover_missing = true;
    }
    return JobResult{RowStatus::kSucceeded,
                     SavedWithoutReason(extras.cover_missing, extras.lyrics_missing), target};
  } catch (const DiskFullError&) {
    Discard();
    return JobResult{RowStatus::kFailed, DiskFullReason(), {}, true};
  } catch (const std::exception& error) {
    Discard();
    return JobResult{
        RowStatus::kFailed, SaveFailedReason(QString::fromLocal8Bit(error.what())), {}};
  }
}

void SongSaver::RemoveStaleParts() const {
  const QString target = task_.save_folder + QLatin1Char('/') + base_name_ + QStringLiteral(".mp3");
  for (int slot = 0; slot < kMaxPartFilesPerName; ++slot) {
    const QString path = PartFilePath(target, slot);
    if (path == part_path_) continue;
    const std::optional<PartFileInfo> info = PartFileInfo::Read(path);
    if (!info || !info->SameSource({task_.id, task_.rate, link_})) continue;
    // A part file another transfer holds is its own business; the lock is kept until the file
    // is gone, so nobody starts on it in between.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) continue;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      QFile::remove(path);
      PartFileInfo::Remove(path);
    }
    ::close(descriptor);
  }
}

}  // namespace mevra::download
