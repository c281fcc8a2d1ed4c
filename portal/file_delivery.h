#pragma once

#include <httplib.h>

#include "portal/portal_state.h"
#include "portal/song.h"

namespace mevra::portal {

// Answers a file request for a song whose link was verified: the song's bytes with
// Content-Length or chunked, as the song is set up, at the configured rate limit; and for the
// fault songs the fault (short body and close, or a stall that ends at shutdown).
void DeliverSongFile(const Song& song, int rate, const PortalState& state, httplib::Response& res);

}  // namespace mevra::portal
