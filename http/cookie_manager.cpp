#include "http/cookie_manager.h"

#include <algorithm>
#include <vector>

#include "http/cookie_rfc2965.h"
#include "http/limits.h"
#include "http/text_util.h"
#include "http/uri.h"
#include "net/host_name.h"

namespace mevra::http {

CookieManager::CookieManager() = default;

CookieManager::~CookieManager() {
  if (OnDestroy) OnDestroy(*this);
}

void CookieManager::AddCookie(const std::string& text, const std::string& host,
                              const std::string& request_path, bool secure_connection) {
  Store(std::make_unique<CookieRfc2109>(), text, host, request_path, secure_connection);
}

void CookieManager::AddCookie2(const std::string& text, const std::string& host,
                               const std::string& request_path, bool secure_connection) {
  Store(std::make_unique<CookieRfc2965>(), text, host, request_path, secure_connection);
}

void CookieManager::Store(std::unique_ptr<NetscapeCookie> cookie, const std::string& text,
                          const std::string& request_host, const std::string& request_path,
                          bool secure_connection) {
  // "host.example." is the host "host.example", and its cookies are that host's.
  const std::string host = net::WithoutTrailingDot(request_host);
  // A control byte would go back out inside our Cookie header, where a bare CR can end the line.
  if (text.size() > kMaxCookieBytes) return;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return;
  }
  cookie->SetCookieText(text);
  if (cookie->Secure() && !secure_connection) return;
  // A cookie that names no domain is its host's alone, not its sub-domains'.
  if (cookie->Domain().empty()) {
    cookie->SetDomain(host);
    cookie->SetHostOnly(true);
  }
  if (cookie->Path().empty() || cookie->Path()[0] != '/') {
    cookie->SetPath(DefaultPath(request_path));
  }
  if (!cookie->IsValidCookie(host)) return;
  bool accept = true;
  if (OnNewCookie) OnNewCookie(*this, *cookie, accept);
  if (accept) cookies_.AddCookie(std::move(cookie), secure_connection);
}

bool CookieManager::DomainMatches(const std::string& host, const std::string& domain) {
  const std::string_view bare =
      !domain.empty() && domain[0] == '.' ? std::string_view(domain).substr(1) : domain;
  if (bare.empty() || host.size() < bare.size()) return false;
  if (host.size() == bare.size()) return EqualsNoCase(host, bare);
  const size_t dot = host.size() - bare.size() - 1;
  return host[dot] == '.' && EqualsNoCase(std::string_view(host).substr(dot + 1), bare);
}

bool CookieManager::PathMatches(const std::string& request_path, const std::string& cookie_path) {
  if (cookie_path.empty() || request_path.compare(0, cookie_path.size(), cookie_path) != 0) {
    return false;
  }
  return request_path.size() == cookie_path.size() || cookie_path.back() == '/' ||
         request_path[cookie_path.size()] == '/';
}

std::string CookieManager::DefaultPath(const std::string& request_path) {
  const size_t slash = request_path.rfind('/');
  if (request_path.empty() || request_path[0] != '/' || slash == 0) return "/";
  return request_path.substr(0, slash);
}

std::string CookieManager::GenerateCookieList(const Uri& target, bool secure_connection) {
  cookies_.RemoveExpired(Now());

  struct Taken {
    std::string path;
    std::string pair;
  };
  std::vector<Taken> taken;
  const std::string request_path = target.Path() + target.Document();
  const std::string host = net::WithoutTrailingDot(target.Host());
  cookies_.ForEachDomain([&](const std::string& domain, const CookieList& list) {
    if (!DomainMatches(host, domain)) return;
    const bool exact_host = EqualsNoCase(host, domain);
    for (size_t i = list.Count(); i-- > 0;) {
      const NetscapeCookie& cookie = list[i];
      if (cookie.Value().empty() || !PathMatches(request_path, cookie.Path())) continue;
      if (cookie.HostOnly() && !exact_host) continue;
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
