#pragma once

#include <string>

#include "portal/link_signer.h"
#include "portal/portal_urls.h"
#include "portal/song.h"

namespace mevra::portal {

// The host-relative file link of a song at a rate: /data/music/<id>/<rate>.mp3?t=<token>.
std::string FileLinkPath(const Song& song, int rate, const LinkSigner& signer);

// A song's download page. For a signed-in user it holds a script object with one entry per
// offered rate, spelled exactly {"rate":128,"link":"\/data\/music\/..."} (every "/" of the link
// written as "\/"); for anyone else it holds no links, only a hint to sign in.
std::string DownloadPage(const Song& song, const PortalUrls& urls, const LinkSigner& signer,
                         bool signed_in);

}  // namespace mevra::portal
