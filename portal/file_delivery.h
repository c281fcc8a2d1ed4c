#pragma once

#include <httplib.h>

#include "portal/portal_state.h"
#include "portal/song.h"

namespace mevra::portal {

// Answers a file request for a song whose link was verified: the song's bytes with
// Content-Length or chunked, as the song is set up, at the configured rate limit; and for the
// fault songs the fault (short body and close, a stall that ends at shutdown, resets and a busy
// answer that pass). A "Range: bytes=N-" (or N-M) gets 206 with the rest and its Content-Range,
// or 416 past the end; the fault songs stay faulty within the range, and the song that ignores
// ranges answers 200 with the whole file. File answers carry an ETag and a Last-Modified date;
// a range with an If-Range that names another version of the file gets the whole file.
void DeliverSongFile(const httplib::Request& req, const Song& song, int rate, PortalState& state,
                     httplib::Response& res);

}  // namespace mevra::portal
