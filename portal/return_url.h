#pragma once

#include <string_view>

namespace mevra::portal {

// Whether the sign-in host may send a browser to `url` after signing in: only plain http
// addresses on this machine's loopback names (127.0.0.1 or localhost, any port), so the
// sign-in page cannot be used to bounce a user to a foreign site.
bool IsSafeReturnUrl(std::string_view url);

}  // namespace mevra::portal
