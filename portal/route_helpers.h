#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <string_view>

#include "portal/portal_state.h"

namespace mevra::portal {

void SendHtml(httplib::Response& res, std::string html, int status = 200);
// An error answer with its own HTML page, never an empty body.
void SendError(httplib::Response& res, int status, std::string_view message);
// The signed-in user of the request's session cookie, if any.
std::optional<std::string> CurrentUser(const httplib::Request& req, const PortalState& state);
// Signs the request's session out and tells the browser to drop the cookie.
void SignOutRequest(const httplib::Request& req, httplib::Response& res, PortalState& state);

}  // namespace mevra::portal
