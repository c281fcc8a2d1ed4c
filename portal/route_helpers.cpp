#include "portal/route_helpers.h"

#include "portal/error_page.h"

namespace mevra::portal {

void SendHtml(httplib::Response& res, std::string html, int status) {
  res.status = status;
  res.set_content(std::move(html), "text/html; charset=utf-8");
}

void SendError(httplib::Response& res, int status, std::string_view message) {
  SendHtml(res, ErrorPage(status, message), status);
}

std::optional<std::string> CurrentUser(const httplib::Request& req, const PortalState& state) {
  // A browser may split cookies over several Cookie headers.
  for (size_t i = 0; i < req.get_header_value_count("Cookie"); ++i) {
    if (auto user = state.sessions.UserFor(req.get_header_value("Cookie", i))) return user;
  }
  return std::nullopt;
}

void SignOutRequest(const httplib::Request& req, httplib::Response& res, PortalState& state) {
  for (size_t i = 0; i < req.get_header_value_count("Cookie"); ++i) {
    state.sessions.SignOut(SessionStore::SessionIdIn(req.get_header_value("Cookie", i)));
  }
  res.set_header("Set-Cookie",
                 std::string(SessionStore::kCookieName) + "=; Path=/; Max-Age=0; HttpOnly");
}

}  // namespace mevra::portal
