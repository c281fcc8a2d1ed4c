#pragma once

#include <httplib.h>

#include "portal/portal_state.h"

namespace mevra::portal {

// Charts, frames, download pages and file links of the music host.
void InstallMusicRoutes(httplib::Server& server, PortalState& state);

}  // namespace mevra::portal
