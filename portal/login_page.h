#pragma once

#include <string>
#include <string_view>

#include "portal/portal_urls.h"

namespace mevra::portal {

// The sign-in form; it posts the user name, the password and the return address back to the
// sign-in host. `error` is shown above the form when not empty.
std::string LoginPage(const PortalUrls& urls, std::string_view return_url, std::string_view error);

}  // namespace mevra::portal
