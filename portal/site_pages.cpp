#include "portal/site_pages.h"

#include "portal/html_text.h"

namespace mevra::portal {

std::string ReleasePage(const PortalUrls& urls, const std::string& stamp) {
  return HtmlPage("Mevra音乐管家 最新版本",
                  "<h1>Mevra音乐管家 最新版本</h1>\n<p>版本标记：<code>" + HtmlEscape(stamp) +
                      "</code></p>\n<p>本版本改进了下载的稳定性。</p>\n<p><a href=\"" +
                      HtmlEscape(urls.site + "/") + "\">作者主页</a></p>");
}

std::string AuthorPage(const PortalUrls& urls) {
  return HtmlPage("作者主页",
                  "<h1>作者主页</h1>\n<ul>\n<li><a href=\"/archives/41672/\">"
                  "Mevra音乐管家</a></li>\n<li><a href=\"/weibo/pelko\">微博</a></li>\n"
                  "</ul>\n<p><a href=\"" +
                      HtmlEscape(urls.HomePage()) + "\">Mevra音乐</a></p>");
}

std::string MicroblogPage(const PortalUrls& urls) {
  return HtmlPage("微博 - pelko",
                  "<h1>pelko的微博</h1>\n<p>新版本已经发布，欢迎试用。</p>\n"
                  "<p><a href=\"" +
                      HtmlEscape(urls.site + "/archives/41672/") + "\">查看</a></p>");
}

}  // namespace mevra::portal
