#pragma once

#include <httplib.h>

#include "portal/portal_state.h"

namespace mevra::portal {

// The maker's site: the update stamp, the release page and the author's pages.
void InstallSiteRoutes(httplib::Server& server, PortalState& state);

}  // namespace mevra::portal
