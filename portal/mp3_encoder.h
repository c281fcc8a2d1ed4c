#pragma once

#include <string>

#include "portal/song.h"

namespace mevra::portal {

// The complete file a song's link serves at one rate: an ID3v2.3 tag, then constant-bit-rate
// MPEG-1 Layer III frames at 44.1 kHz joint stereo. Deterministic for a song and rate.
// Throws std::invalid_argument for a rate the song does not offer, std::runtime_error when the
// encoder fails.
std::string EncodeSongMp3(const Song& song, int rate);

}  // namespace mevra::portal
