#pragma once

#include <QString>

#include "browser/browser_proxy.h"
#include "http/proxy_rules.h"

namespace mevra::http {
class CustomHttpClient;
}

namespace mevra::app {

// What the Proxy setting means: "system" (or nothing) for the environment's proxy variables,
// "none" for no proxy, or a proxy URL (http://, socks5://, socks5h://, with user:password@).
struct ProxyChoice {
  enum class Mode { kSystem, kNone, kFixed };
  Mode mode = Mode::kSystem;
  // The proxy a URL names, for kFixed.
  net::ProxyServer fixed;
  // What every HTTP client of the program uses.
  http::ProxyRules rules;
  // Why the setting, or for kSystem the environment, cannot be used; the choice then goes
  // straight to every server. Empty when it can.
  QString error;

  // The same choice for the browser's pages.
  browser::BrowserProxy ForBrowser() const;

  // Reads `setting`; `environment` gives the proxy variables for "system".
  static ProxyChoice Read(const QString& setting, const http::ProxyRules::Lookup& environment);
  // With the process's own environment.
  static ProxyChoice Read(const QString& setting);
  // The setting as config.ini at `config_path` holds it.
  static ProxyChoice FromConfig(const QString& config_path);
};

// Fetches `url` (the portal's home page) through the proxy `setting` names, trusting the
// authorities of `ca_file` too, and says in the user's words what happened. Blocks, pumping
// messages, for at most `timeout_ms`.
QString TestProxySetting(const QString& setting, const QString& url, const QString& ca_file,
                         int timeout_ms);

// The one place where the program's HTTP clients get their proxy: the choice made at start, or
// since in the preferences. The browser's pages keep the one they started with.
class ProgramProxy {
 public:
  static void Set(ProxyChoice choice);
  static const ProxyChoice& Current();
  static void ApplyTo(http::CustomHttpClient& client);
};

}  // namespace mevra::app
