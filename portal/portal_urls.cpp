#include "portal/portal_urls.h"

#include "portal/catalog.h"
#include "portal/html_text.h"

namespace mevra::portal {

PortalUrls PortalUrls::ForPorts(int home_port, int login_port, int music_port, int site_port,
                                bool tls, const std::string& address) {
  const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  const std::string prefix = (tls ? "https://" : "http://") + host + ":";
  auto base = [&prefix](int port) { return prefix + std::to_string(port); };
  return {base(home_port), base(login_port), base(music_port), base(site_port)};
}

std::string PortalUrls::NewSongsReturn() const { return Chart(kNewSongsChart) + "/"; }

std::string PortalUrls::LoginPage(std::string_view return_url) const {
  return login + "/v2/?login&tpl=mn&u=" + PercentEncode(return_url);
}

}  // namespace mevra::portal
