#pragma once

#include <httplib.h>

#include "portal/portal_state.h"

namespace mevra::portal {

// The portal home page (home host) and the sign-in and sign-out pages (sign-in host).
void InstallHomeRoutes(httplib::Server& server, PortalState& state);
void InstallLoginRoutes(httplib::Server& server, PortalState& state);

}  // namespace mevra::portal
