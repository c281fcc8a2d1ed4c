#pragma once

#include <filesystem>
#include <string>

#include "portal/song.h"

namespace mevra::portal {

// Where the encoded file of a song at a rate is kept under the data folder.
std::filesystem::path CachedSongPath(const Song& song, int rate,
                                     const std::filesystem::path& data_dir);

// The exact bytes a song's file link serves at `rate` (for a song with a fault: the bytes it
// would serve if it had none). Encodes on first use and keeps the result under `data_dir`;
// later calls, also from other processes sharing the folder, read it back. Safe to call from
// several threads and processes at once: files are written under a temporary name and renamed.
// Throws std::invalid_argument for a rate the song does not offer.
std::string EncodedSongBytes(const Song& song, int rate, const std::filesystem::path& data_dir);

// $XDG_CACHE_HOME/mevra-portal, else ~/.cache/mevra-portal, else a folder under /tmp.
std::filesystem::path DefaultDataDir();

}  // namespace mevra::portal
