#include "download/song_extras.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <exception>

#include <fcntl.h>
#include <stdio.h>

#include "download/limits.h"
#include "http/bounded_text_stream.h"
#include "http/http_client.h"
#include "http/program_configuration.h"

namespace mevra::download {
namespace {

struct ModeName {
  LyricsMode mode;
  const char* name;
};

constexpr ModeName kModeNames[] = {
    {LyricsMode::kEmbed, "embed"},
    {LyricsMode::kLrc, "lrc"},
    {LyricsMode::kBoth, "both"},
    {LyricsMode::kNone, "none"},
};

// The body of `url` when the server answered 200 with at most `max_bytes`; nullopt for every
// other outcome, a failed exchange included.
std::optional<QByteArray> FetchSmall(const QString& url, const QString& ca_file, int64_t max_bytes,
                                     const std::shared_ptr<net::AbortLatch>& latch) {
  try {
    http::HttpClient client;
    http::ApplyProgramConfiguration(client);
    if (latch) client.SetAbortLatch(latch);
    client.SetCaFile(QFile::encodeName(ca_file).toStdString());
    client.SetConnectTimeout(kExtrasReadTimeoutMs);
    client.SetReadTimeout(kExtrasReadTimeoutMs);
    // One byte more than allowed is kept, so a body over the limit shows as such.
    http::BoundedTextStream body(max_bytes + 1);
    client.Get(url.toStdString(), body);
    if (client.ResponseCode() != 200 || body.Size() > max_bytes) return std::nullopt;
    return QByteArray::fromStdString(body.Text());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool IsJpeg(const QByteArray& bytes) {
  return bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xff &&
         static_cast<unsigned char>(bytes[1]) == 0xd8 &&
         static_cast<unsigned char>(bytes[2]) == 0xff;
}

}  // namespace

QString LyricsModeName(LyricsMode mode) {
  for (const ModeName& entry : kModeNames) {
    if (entry.mode == mode) return QString::fromLatin1(entry.name);
  }
  return QString();
}

std::optional<LyricsMode> ParseLyricsMode(const QString& text) {
  const QString name = text.trimmed();
  for (const ModeName& entry : kModeNames) {
    if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) return entry.mode;
  }
  return std::nullopt;
}

SongExtras FetchSongExtras(const QString& cover_url, const QString& lyrics_url,
                           const ExtrasOptions& options, const QString& ca_file,
                           const std::shared_ptr<net::AbortLatch>& latch) {
  SongExtras extras;
  if (options.WantsCover() && !cover_url.isEmpty()) {
    const std::optional<QByteArray> cover = FetchSmall(cover_url, ca_file, kMaxCoverBytes, latch);
    // The tag says image/jpeg; anything else would be a picture no player shows.
    if (cover && IsJpeg(*cover)) {
      extras.cover_jpeg = *cover;
    } else {
      extras.cover_missing = true;
    }
  }
  if (options.lyrics != LyricsMode::kNone && !lyrics_url.isEmpty()) {
    const std::optional<QByteArray> lyrics =
        FetchSmall(lyrics_url, ca_file, kMaxLyricsBytes, latch);
    if (lyrics && !lyrics->trimmed().isEmpty()) {
      extras.lyrics = *lyrics;
    } else {
      extras.lyrics_missing = true;
    }
  }
  return extras;
}

QString LrcPath(const QString& mp3_path) {
  QString path = mp3_path;
  if (path.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive)) path.chop(4);
  return path + QStringLiteral(".lrc");
}

bool WriteLrcFile(const QString& mp3_path, const QByteArray& lyrics) {
  // Written aside and renamed, so a reader never sees half of the file.
  QSaveFile file(LrcPath(mp3_path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(lyrics) != lyrics.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool SaveFolderCover(const QString& folder, const QByteArray& jpeg) {
  const QString target = folder + QStringLiteral("/cover.jpg");
  if (QFileInfo::exists(target)) return true;
  QTemporaryFile file(folder + QStringLiteral("/.cover.jpg.XXXXXX"));
  if (!file.open()) return false;
  if (file.write(jpeg) != jpeg.size() || !file.flush()) return false;
  file.close();
  // Two songs of one folder saved at once: the first cover stays, the second is dropped; a
  // cover.jpg of the user's is never replaced.
  const QByteArray from = QFile::encodeName(file.fileName());
  const QByteArray to = QFile::encodeName(target);
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
    file.setAutoRemove(false);
    return true;
  }
  return errno == EEXIST;
}

}  // namespace mevra::download
