#pragma once

#include <string>

#include "portal/song.h"

namespace mevra::portal {

// Where the music host serves a song's cover and lyrics; the paths the download page names.
std::string CoverPath(const Song& song);
std::string LyricsPath(const Song& song);

// The song's cover: a 600×600 JPEG of colours and shapes drawn from its id, so that every song
// has a picture of its own and a client that mixes two songs up shows it. Empty for a song
// without one.
std::string CoverJpeg(const Song& song);

// The song's lyrics as served: LRC with "[mm:ss.xx]" lines over the whole song, or plain lines
// without times; empty for a song without any.
std::string LyricsText(const Song& song);

}  // namespace mevra::portal
