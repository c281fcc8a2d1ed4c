#include "download/lyrics_text.h"

#include <QStringList>
#include <algorithm>
#include <optional>

namespace mevra::download {
namespace {

// "mm:ss", "mm:ss.f", "mm:ss.ff", "mm:ss.fff" or with ":" for the point; the minutes may run
// past 59. nullopt for anything else, a header tag included.
std::optional<int> TimeOf(QStringView stamp) {
  const qsizetype colon = stamp.indexOf(u':');
  if (colon <= 0) return std::nullopt;
  bool ok = false;
  const int minutes = stamp.left(colon).toInt(&ok);
  if (!ok || minutes < 0) return std::nullopt;
  QStringView rest = stamp.mid(colon + 1);
  qsizetype point = rest.indexOf(u'.');
  if (point < 0) point = rest.indexOf(u':');
  const QStringView seconds_text = point < 0 ? rest : rest.left(point);
  if (seconds_text.size() != 2) return std::nullopt;
  const int seconds = seconds_text.toInt(&ok);
  if (!ok || seconds > 59) return std::nullopt;
  int fraction_ms = 0;
  if (point >= 0) {
    const QStringView fraction = rest.mid(point + 1);
    if (fraction.isEmpty() || fraction.size() > 3) return std::nullopt;
    const int value = fraction.toInt(&ok);
    if (!ok || value < 0) return std::nullopt;
    fraction_ms = fraction.size() == 1 ? value * 100 : fraction.size() == 2 ? value * 10 : value;
  }
  // Beyond this a time does not fit a song, and would overflow the frame's 32 bits.
  constexpr int kMaxMinutes = 24 * 60;
  if (minutes > kMaxMinutes) return std::nullopt;
  return (minutes * 60 + seconds) * 1000 + fraction_ms;
}

bool IsHeaderTag(QStringView inside) {
  const qsizetype colon = inside.indexOf(u':');
  if (colon <= 0) return false;
  for (QChar c : inside.left(colon)) {
    if (!(c >= u'a' && c <= u'z') && !(c >= u'A' && c <= u'Z')) return false;
  }
  return true;
}

}  // namespace

ParsedLyrics ParseLyrics(const QString& text) {
  ParsedLyrics lyrics;
  QStringList plain_lines;
  const QStringList lines = text.split(u'\n');
  for (QString line : lines) {
    if (line.endsWith(u'\r')) line.chop(1);
    std::vector<int> times;
    qsizetype at = 0;
    bool tag_line = false;
    while (at < line.size() && line[at] == u'[') {
      const qsizetype close = line.indexOf(u']', at);
      if (close < 0) break;
      const std::optional<int> time = TimeOf(QStringView(line).mid(at + 1, close - at - 1));
      if (!time) {
        // "[ti:...]", "[ar:...]", "[offset:...]": about the lyrics, not part of them. A line
        // such as "[Chorus]" is words.
        tag_line = times.empty() && IsHeaderTag(QStringView(line).mid(at + 1, close - at - 1));
        break;
      }
      times.push_back(*time);
      at = close + 1;
    }
    if (times.empty()) {
      if (!tag_line) plain_lines.push_back(line);
      continue;
    }
    const QString words = line.mid(at).trimmed();
    for (int time : times) lyrics.timed.push_back({time, words});
  }
  if (lyrics.timed.empty()) {
    lyrics.plain = plain_lines.join(u'\n').trimmed();
    return lyrics;
  }
  std::stable_sort(lyrics.timed.begin(), lyrics.timed.end(),
                   [](const TimedLine& a, const TimedLine& b) { return a.ms < b.ms; });
  QStringList words;
  for (const TimedLine& line : lyrics.timed) words.push_back(line.text);
  lyrics.plain = words.join(u'\n');
  return lyrics;
}

}  // namespace mevra::download
