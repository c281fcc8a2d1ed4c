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

  // A "Set-Cookie" value from a response of `host` to a request for `request_path`, which gives
  // the path of a cookie that names none. Cookies the host may not set are dropped, and so are
  // texts beyond kMaxCookieBytes or with control bytes, and Secure cookies that did not come
  // over a secure connection (a plain-text peer could otherwise plant them for https), and
  // cookies over a plain connection that would replace or shadow a Secure one.
  void AddCookie(const std::string& text, const std::string& host,
                 const std::string& request_path = "/", bool secure_connection = false);
  // A "Set-Cookie2" value, taken the same way.
  void AddCookie2(const std::string& text, const std::string& host,
                  const std::string& request_path = "/", bool secure_connection = false);

  // The "Cookie" header value for a request to `target` ("" when no cookie goes there). Expired
  // cookies are removed first. Cookies go to their own domain and its sub-domains only (one set
  // without a Domain attribute to its own host alone), and to their path and the paths below
  // it; Secure cookies only over a secure connection. A trailing dot of a host is no part of it.
  std::string GenerateCookieList(const Uri& target, bool secure_connection = false);

  CookieCollection& Cookies() { return cookies_; }
  const CookieCollection& Cookies() const { return cookies_; }

  // May veto a new cookie by setting `accept` to false.
  std::function<void(CookieManager& sender, NetscapeCookie& cookie, bool& accept)> OnNewCookie;
  std::function<void(CookieManager& sender)> OnDestroy;

  // Whether `host` lies in `domain`: equal to it, or a sub-domain of it (a leading dot of the
  // domain is ignored). Case does not matter.
  static bool DomainMatches(const std::string& host, const std::string& domain);
  // Whether a cookie of `cookie_path` goes with a request for `request_path`: the same path, or
  // one below it ("/x/y" takes "/x/y/z", not "/x/yz").
  static bool PathMatches(const std::string& request_path, const std::string& cookie_path);
  // The path a cookie gets when it names none: the request's directory without its last "/".
  static std::string DefaultPath(const std::string& request_path);

 private:
  void Store(std::unique_ptr<NetscapeCookie> cookie, const std::string& text,
             const std::string& host, const std::string& request_path, bool secure_connection);

  CookieCollection cookies_;
};

}  // namespace mevra::http
