#include "app/song_link.h"

#include "download/row_status.h"

namespace mevra::app {

QString RateMarker(const QString& rate) {
  return QStringLiteral("{\"rate\":") + rate + QStringLiteral(",\"link\":\"");
}

QString SongPageUrl(const QString& music_base_url, const QString& id) {
  return music_base_url + QStringLiteral("/song/") + id.trimmed() + QStringLiteral("/download");
}

SongLink CutSongLink(const QString& page_text, const QString& rate, const QString& music_base_url) {
  const QString page = page_text.trimmed();
  const QString marker = RateMarker(rate);
  const qsizetype at = page.indexOf(marker);
  if (at < 0) return {music_base_url, false};
  const qsizetype start = at + marker.size();
  qsizetype end = page.indexOf(QLatin1Char('"'), start);
  if (end < 0) end = page.size();
  QString path = page.mid(start, end - start);
  path.remove(QLatin1Char('\\'));
  return {music_base_url + path, !path.isEmpty()};
}

namespace {

// The music host's address of the path a page's script object gives under `key`, as the page
// writes it ("\/data\/cover\/1.jpg"); empty when the page gives none.
QString CutExtraUrl(const QString& page, const QString& key, const QString& music_base_url) {
  const QString marker = QLatin1Char('"') + key + QStringLiteral("\":\"");
  const qsizetype at = page.indexOf(marker);
  if (at < 0) return QString();
  const qsizetype start = at + marker.size();
  const qsizetype end = page.indexOf(QLatin1Char('"'), start);
  if (end < 0) return QString();
  QString path = page.mid(start, end - start);
  path.remove(QLatin1Char('\\'));
  // Only a path on the music host: anything else is not what the page means to offer.
  if (!path.startsWith(QLatin1Char('/'))) return QString();
  return music_base_url + path;
}

}  // namespace

download::LinkAnswer AnswerFromPage(const QString& page_text, const QString& rate,
                                    const QString& music_base_url) {
  download::LinkAnswer answer;
  const SongLink link = CutSongLink(page_text, rate, music_base_url);
  if (link.found) {
    answer.found = true;
    answer.url = link.url;
    answer.rate = rate;
    answer.cover_url = CutExtraUrl(page_text, QStringLiteral("cover"), music_base_url);
    answer.lyrics_url = CutExtraUrl(page_text, QStringLiteral("lyrics"), music_base_url);
  } else {
    answer.reason = download::NoLinkReason(rate);
  }
  return answer;
}

}  // namespace mevra::app
