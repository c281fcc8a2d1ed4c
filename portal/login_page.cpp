#include "portal/login_page.h"

#include "portal/html_text.h"

namespace mevra::portal {

std::string LoginPage(const PortalUrls& urls, std::string_view return_url, std::string_view error) {
  // The program shows a sign-in tip over the top right of its browser while this page is
  // open; the page starts below it, so the tip never covers the heading or the form.
  std::string body = "<main class=\"login\">\n<h1>登录Mevra帐号</h1>\n";
  if (!error.empty())
    body += "<p class=\"hint\" id=\"login-error\">" + HtmlEscape(error) + "</p>\n";
  body +=
      "<form method=\"post\" action=\"/v2/?login&amp;tpl=mn\">\n"
      "<input type=\"hidden\" name=\"u\" value=\"" +
      HtmlEscape(return_url) +
      "\">\n"
      "<p><label>用户名 <input type=\"text\" name=\"username\" autofocus></label></p>\n"
      "<p><label>密码 <input type=\"password\" name=\"password\"></label></p>\n"
      "<p><button type=\"submit\">登录</button></p>\n"
      "</form>\n"
      "<p><a href=\"" +
      HtmlEscape(urls.HomePage()) + "\">返回首页</a></p>\n</main>";
  return HtmlPage("登录 - Mevra帐号", body);
}

}  // namespace mevra::portal
