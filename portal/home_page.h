#pragma once

#include <optional>
#include <string>

#include "portal/portal_urls.h"

namespace mevra::portal {

// The portal's home page. Only for a signed-in user does it carry the script that sets
// window.logInfo, which is how the program tells whether the user is signed in.
std::string HomePage(const PortalUrls& urls, const std::optional<std::string>& user);

}  // namespace mevra::portal
