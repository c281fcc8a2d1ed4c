#pragma once

#include <functional>
#include <memory>
#include <string>

#include "http/cookie_collection.h"

namespace mevra::http {

class Uri;

// The cookie store of an HTTP client: takes the cookies responses set and gives the "Cookie"
// header for the next request. Memory only; it lives as long as its owner.
class CookieManager {
 public:
  CookieManager();
  ~CookieManager();
  CookieManager(const CookieManager&) = delete;
  CookieManager& operator=(const CookieManager&) = delete;

  // A "Set-Cookie" value from a response of `host`. Cookies the host may not set are dropped.
  void AddCookie(const std::string& text, const std::string& host);
  // A "Set-Cookie2" value from a response of `host`.
  void AddCookie2(const std::string& text, const std::string& host);

  // The "Cookie" header value for a request to `target` ("" when no cookie goes there). Expired
  // cookies are removed first. Cookies go to their own domain and its sub-domains only.
  std::string GenerateCookieList(const Uri& target, bool secure_connection = false);

  CookieCollection& Cookies() { return cookies_; }
  const CookieCollection& Cookies() const { return cookies_; }

  // May veto a new cookie by setting `accept` to false.
  std::function<void(CookieManager& sender, NetscapeCookie& cookie, bool& accept)> OnNewCookie;
  std::function<void(CookieManager& sender)> OnDestroy;

  // Whether `host` lies in `domain`: equal to it, or a sub-domain of it (a leading dot of the
  // domain is ignored). Case does not matter.
  static bool DomainMatches(const std::string& host, const std::string& domain);

 private:
  void Store(std::unique_ptr<NetscapeCookie> cookie, const std::string& text,
             const std::string& host);

  CookieCollection cookies_;
};

}  // namespace mevra::http
