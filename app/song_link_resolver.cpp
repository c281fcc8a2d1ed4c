#include "app/song_link_resolver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include "browser/browser_control.h"

namespace mevra::app {

namespace {

bool SameAddress(const QString& a, const QString& b) {
  constexpr auto kForm = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
  return QUrl(a).adjusted(kForm) == QUrl(b).adjusted(kForm);
}

void SleepInEventLoop(int milliseconds) {
  QCoreApplication::processEvents();
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

SongLink ResolveSongLink(browser::BrowserControl& web, const QString& music_base_url,
                         const QString& id, const QString& rate, const TickClock& clock,
                         double limit_ms) {
  const QString page_url = SongPageUrl(music_base_url, id);
  quint64 loads_seen = web.LoadsFinished();
  web.Navigate(page_url);
  const uint32_t start = clock();
  int renavigations = 0;
  while (!TickWaitOver(start, clock(), limit_ms)) {
    SleepInEventLoop(kResolveSliceMs);
    if (web.LoadsFinished() == loads_seen || web.IsLoading()) continue;
    loads_seen = web.LoadsFinished();
    if (!SameAddress(web.LocationURL(), page_url)) {
      // Someone else took the browser while we waited; our page has to be loaded again. A page
      // that always lands elsewhere (a redirect) is not chased for the whole wait.
      if (renavigations++ < kMaxRenavigations) web.Navigate(page_url);
      continue;
    }
    const SongLink link = CutSongLink(web.PageText(), rate, music_base_url);
    if (link.found) return link;
  }
  if (!SameAddress(web.LocationURL(), page_url)) return {music_base_url, false};
  return CutSongLink(web.PageText(), rate, music_base_url);
}

}  // namespace mevra::app
