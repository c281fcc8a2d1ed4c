#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace mevra::download {

// One timed line of a song's lyrics.
struct TimedLine {
  int ms = 0;
  QString text;
};

// What goes into a saved song's ID3v2 tag beside what it carries.
struct SongTags {
  // Written only where the file carries none (the file's own title and artist win).
  bool missing_title_artist = false;
  QString title;
  QString artist;
  // A TXXX frame MEVRA_SONG_ID, so the file can be matched to its song whatever its name;
  // empty: none written.
  QString song_id;
  // A front cover (APIC type 3, image/jpeg); empty: none written.
  QByteArray cover_jpeg;
  // Lyrics as USLT; timed lines also as SYLT in milliseconds. Empty: none written.
  QString lyrics;
  std::vector<TimedLine> timed_lines;
};

// Writes `tags` into the ID3v2 tag at the file's start (a new one is version 2.3) in one save;
// the tag keeps its version and every other frame it has, and a frame of the same kind that
// `tags` brings replaces the old one. False when the file is no MP3 or could not be written; the
// file is then as it was.
bool WriteSongTags(const QString& path, const SongTags& tags);

// Gives an MP3 file that carries no title or no artist tag the ones it lacks.
bool WriteMissingTags(const QString& path, const QString& title, const QString& artist);

}  // namespace mevra::download
