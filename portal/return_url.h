#pragma once

#include <string_view>

namespace mevra::portal {

// Whether the sign-in host may send a browser to `url` after signing in: only addresses of the
// portal's own scheme (https when it serves TLS, else http) on this machine's loopback names
// (127.0.0.1, [::1] or localhost, any port), so the sign-in page cannot be used to bounce a user
// to a foreign site, nor from https to plain text.
bool IsSafeReturnUrl(std::string_view url, bool tls = false);

}  // namespace mevra::portal
