#include "portal/home_page.h"

#include "portal/catalog.h"
#include "portal/html_text.h"

namespace mevra::portal {

std::string HomePage(const PortalUrls& urls, const std::optional<std::string>& user) {
  std::string body = "<h1>Mevra音乐</h1>\n";
  if (user) {
    body += "<script>window.logInfo = {\"user\":" + ScriptJsonString(*user) + "};</script>\n";
    body += "<p>欢迎，" + HtmlEscape(*user) + "！ <a href=\"" + HtmlEscape(urls.Logout()) +
            "\">退出</a></p>\n";
  } else {
    body += "<p>您还没有登录。 <a href=\"" + HtmlEscape(urls.LoginPage(urls.HomePage())) +
            "\">登录</a></p>\n";
  }
  body += "<h2>榜单</h2>\n<ul class=\"charts\">\n";
  for (const Chart& chart : Charts()) {
    body += "<li><a href=\"" + HtmlEscape(urls.Chart(chart.key)) + "\">" + HtmlEscape(chart.name) +
            "</a></li>\n";
  }
  body += "</ul>";
  return HtmlPage("Mevra音乐", body);
}

}  // namespace mevra::portal
