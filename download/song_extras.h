#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace mevra::net {
class AbortLatch;
}

namespace mevra::download {

// Where a saved song's lyrics go.
enum class LyricsMode {
  kEmbed,  // into the tag (USLT, and SYLT when timed)
  kLrc,    // into NAME.lrc beside NAME.mp3
  kBoth,
  kNone,
};

// The mode's name in config.ini: "embed", "lrc", "both" or "none".
QString LyricsModeName(LyricsMode mode);
// nullopt for a text that names none (compared without regard to case, blanks ignored).
std::optional<LyricsMode> ParseLyricsMode(const QString& text);

// What a saved song gets besides its audio.
struct ExtrasOptions {
  bool embed_cover = true;
  bool save_cover = false;  // cover.jpg in the song's folder, once per folder
  LyricsMode lyrics = LyricsMode::kEmbed;

  bool WantsCover() const { return embed_cover || save_cover; }
  bool EmbedsLyrics() const { return lyrics == LyricsMode::kEmbed || lyrics == LyricsMode::kBoth; }
  bool WritesLrc() const { return lyrics == LyricsMode::kLrc || lyrics == LyricsMode::kBoth; }

  bool operator==(const ExtrasOptions&) const = default;
};

// A song's cover and lyrics as the music host served them. A missing one the page offered is
// marked so the row can say so; one the page did not offer is not missing.
struct SongExtras {
  QByteArray cover_jpeg;
  bool cover_missing = false;
  QByteArray lyrics;  // as served, UTF-8
  bool lyrics_missing = false;
};

// Fetches what `options` wants of the offered cover and lyrics (empty URL: not offered). Runs on
// the transfer's thread; every failure, a reply that is no JPEG or is too large included, only
// marks the piece missing. A tripped `latch` (the transfer's stop) ends a fetch at once.
SongExtras FetchSongExtras(const QString& cover_url, const QString& lyrics_url,
                           const ExtrasOptions& options, const QString& ca_file,
                           const std::shared_ptr<net::AbortLatch>& latch = nullptr);

// Writes `lyrics` as they were served to the .lrc file beside `mp3_path` (same base name),
// replacing one of that name in one step. False when it could not be written.
bool WriteLrcFile(const QString& mp3_path, const QByteArray& lyrics);
// The path of that file.
QString LrcPath(const QString& mp3_path);

// Writes cover.jpg into `folder` unless the folder has one already, which is kept. False only
// when it could not be written.
bool SaveFolderCover(const QString& folder, const QByteArray& jpeg);

}  // namespace mevra::download
