#include "portal/error_page.h"

#include "portal/html_text.h"

namespace mevra::portal {

std::string ErrorPage(int status, std::string_view message) {
  const std::string code = std::to_string(status);
  return HtmlPage(code + " - Mevra音乐",
                  "<h1>" + code + "</h1>\n<p class=\"error\">" + HtmlEscape(message) + "</p>");
}

}  // namespace mevra::portal
