#include "portal/account_routes.h"

#include "portal/home_page.h"
#include "portal/login_page.h"
#include "portal/return_url.h"
#include "portal/route_helpers.h"

namespace mevra::portal {
namespace {

constexpr std::string_view kWrongPassword = "用户名或密码错误，请重新输入。";

std::string ReturnTarget(const httplib::Request& req, const PortalState& state) {
  const std::string url = req.get_param_value("u");
  return IsSafeReturnUrl(url, state.options.tls) ? url : state.urls.HomePage();
}

void SignOut(const httplib::Request& req, httplib::Response& res, PortalState& state) {
  SignOutRequest(req, res, state);
  res.set_redirect(ReturnTarget(req, state));
}

}  // namespace

void InstallHomeRoutes(httplib::Server& server, PortalState& state) {
  server.Get("/", [&state](const httplib::Request& req, httplib::Response& res) {
    SendHtml(res, HomePage(state.urls, CurrentUser(req, state)));
  });
  server.Get("/logout", [&state](const httplib::Request& req, httplib::Response& res) {
    SignOut(req, res, state);
  });
}

void InstallLoginRoutes(httplib::Server& server, PortalState& state) {
  auto page = [&state](const httplib::Request& req, httplib::Response& res) {
    if (req.has_param("logout")) {
      SignOut(req, res, state);
    } else if (req.has_param("login")) {
      SendHtml(res, LoginPage(state.urls, ReturnTarget(req, state), ""));
    } else {
      SendError(res, 400, "请求缺少login或logout参数。");
    }
  };
  server.Get("/v2/?", page);
  server.Get("/", [&state](const httplib::Request& req, httplib::Response& res) {
    SendHtml(res, LoginPage(state.urls, ReturnTarget(req, state), ""));
  });
  server.Get("/logout", [&state](const httplib::Request& req, httplib::Response& res) {
    SignOut(req, res, state);
  });
  server.Post("/v2/?", [&state](const httplib::Request& req, httplib::Response& res) {
    const std::string user = req.get_param_value("username");
    if (!state.sessions.CheckPassword(user, req.get_param_value("password"))) {
      SendHtml(res, LoginPage(state.urls, ReturnTarget(req, state), kWrongPassword));
      return;
    }
    // No Domain attribute: the cookie belongs to this host name, whatever the port.
    res.set_header("Set-Cookie", std::string(SessionStore::kCookieName) + "=" +
                                     state.sessions.SignIn(user) + "; Path=/; HttpOnly");
    res.set_redirect(ReturnTarget(req, state));
  });
}

}  // namespace mevra::portal
