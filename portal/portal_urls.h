#pragma once

#include <string>
#include <string_view>

namespace mevra::portal {

// The four hosts' base addresses ("http://127.0.0.1:18080", or https for a portal that serves
// TLS; no trailing slash), known once the ports are bound, and the addresses built from them
// that pages link to.
struct PortalUrls {
  std::string home;
  std::string login;
  std::string music;
  std::string site;

  // `address` is the one the hosts listen on; an IPv6 one goes in brackets.
  static PortalUrls ForPorts(int home_port, int login_port, int music_port, int site_port,
                             bool tls = false, const std::string& address = "127.0.0.1");

  std::string HomePage() const { return home + "/"; }
  std::string Chart(std::string_view key) const { return music + "/top/" + std::string(key); }
  // Where a signed-in user lands: the new-songs chart, with the trailing "/" the program uses.
  std::string NewSongsReturn() const;
  std::string LoginPage(std::string_view return_url) const;
  std::string Logout() const { return login + "/v2/?logout"; }
};

}  // namespace mevra::portal
