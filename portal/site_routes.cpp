#include "portal/site_routes.h"

#include "portal/route_helpers.h"
#include "portal/site_pages.h"

namespace mevra::portal {

void InstallSiteRoutes(httplib::Server& server, PortalState& state) {
  server.Get("/mevramp3.txt", [&state](const httplib::Request&, httplib::Response& res) {
    // Exactly as configured, blanks and line breaks included: clients must cope with that.
    res.set_content(state.options.stamp, "text/plain; charset=utf-8");
  });
  server.Get("/archives/41672/?", [&state](const httplib::Request&, httplib::Response& res) {
    SendHtml(res, ReleasePage(state.urls, state.options.stamp));
  });
  server.Get("/", [&state](const httplib::Request&, httplib::Response& res) {
    SendHtml(res, AuthorPage(state.urls));
  });
  server.Get("/weibo/pelko/?", [&state](const httplib::Request&, httplib::Response& res) {
    SendHtml(res, MicroblogPage(state.urls));
  });
}

}  // namespace mevra::portal
