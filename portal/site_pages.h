#pragma once

#include <string>

#include "portal/portal_urls.h"

namespace mevra::portal {

// Pages of the maker's web site besides the stamp file, which is served as given.
std::string ReleasePage(const PortalUrls& urls, const std::string& stamp);
std::string AuthorPage(const PortalUrls& urls);
std::string MicroblogPage(const PortalUrls& urls);

}  // namespace mevra::portal
