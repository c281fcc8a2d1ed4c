#pragma once

#include <QString>

#include "app/limits.h"
#include "app/song_link.h"
#include "app/tick_clock.h"

namespace mevra::browser {
class BrowserControl;
}

namespace mevra::app {

// Opens a song's download page in `web` and cuts the link for `rate` out of it. Returns as soon
// as the newly loaded page holds the link, or when `limit_ms` have passed on `clock` (or the
// clock wrapped), whatever the browser shows then. Window messages are dispatched while it waits,
// so a handler may navigate the same browser meanwhile (a preview started during a batch); the
// browser is then sent back to this song's page, and a page of another address is never cut.
SongLink ResolveSongLink(browser::BrowserControl& web, const QString& music_base_url,
                         const QString& id, const QString& rate, const TickClock& clock,
                         double limit_ms = kSongPageWaitMs);

}  // namespace mevra::app
