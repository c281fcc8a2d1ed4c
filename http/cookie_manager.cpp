#include "http/cookie_manager.h"

#include <algorithm>
#include <vector>

#include "http/cookie_rfc2965.h"
#include "http/text_util.h"
#include "http/uri.h"

namespace mevra::http {

CookieManager::CookieManager() = default;

CookieManager::~CookieManager() {
  if (OnDestroy) OnDestroy(*this);
}

void CookieManager::AddCookie(const std::string& text, const std::string& host) {
  Store(std::make_unique<CookieRfc2109>(), text, host);
}

void CookieManager::AddCookie2(const std::string& text, const std::string& host) {
  Store(std::make_unique<CookieRfc2965>(), text, host);
}

void CookieManager::Store(std::unique_ptr<NetscapeCookie> cookie, const std::string& text,
                          const std::string& host) {
  cookie->SetCookieText(text);
  if (cookie->Domain().empty()) cookie->SetDomain(host);
  if (!cookie->IsValidCookie(host)) return;
  bool accept = true;
  if (OnNewCookie) OnNewCookie(*this, *cookie, accept);
  if (accept) cookies_.AddCookie(std::move(cookie));
}

bool CookieManager::DomainMatches(const std::string& host, const std::string& domain) {
  const std::string_view bare =
      !domain.empty() && domain[0] == '.' ? std::string_view(domain).substr(1) : domain;
  if (bare.empty() || host.size() < bare.size()) return false;
  if (host.size() == bare.size()) return EqualsNoCase(host, bare);
  const size_t dot = host.size() - bare.size() - 1;
  return host[dot] == '.' && EqualsNoCase(std::string_view(host).substr(dot + 1), bare);
}

std::string CookieManager::GenerateCookieList(const Uri& target, bool secure_connection) {
  cookies_.RemoveExpired(Now());

  struct Taken {
    std::string path;
    std::string pair;
  };
  std::vector<Taken> taken;
  cookies_.ForEachDomain([&](const std::string& domain, const CookieList& list) {
    if (!DomainMatches(target.Host(), domain)) return;
    for (size_t i = list.Count(); i-- > 0;) {
      const NetscapeCookie& cookie = list[i];
      if (cookie.Value().empty() || cookie.Path().empty()) continue;
      if (target.Path().compare(0, cookie.Path().size(), cookie.Path()) != 0) continue;
      if (cookie.Secure() && !secure_connection) continue;
      taken.push_back({cookie.Path(), cookie.CookieName() + "=" + cookie.Value()});
    }
  });

  // Longer (later-sorting) paths first, as servers expect the most specific cookie first.
  std::stable_sort(taken.begin(), taken.end(), [](const Taken& a, const Taken& b) {
    return CompareNoCase(a.path, b.path) < 0;
  });
  std::string result;
  for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
    if (!result.empty()) result += "; ";
    result += it->pair;
  }
  return result;
}

}  // namespace mevra::http
