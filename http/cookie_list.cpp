#include "http/cookie_list.h"

#include <algorithm>

#include "http/text_util.h"

namespace mevra::http {

NetscapeCookie* CookieList::Find(const std::string& name) const {
  for (const auto& cookie : cookies_) {
    if (EqualsNoCase(cookie->CookieName(), name)) return cookie.get();
  }
  return nullptr;
}

bool CookieList::Remove(const std::string& name) {
  return std::erase_if(cookies_, [&name](const std::unique_ptr<NetscapeCookie>& cookie) {
           return EqualsNoCase(cookie->CookieName(), name);
         }) != 0;
}

size_t CookieList::RemoveExpired(DateTime now) {
  return std::erase_if(cookies_, [now](const std::unique_ptr<NetscapeCookie>& cookie) {
    const auto expiry = cookie->ExpiryTime();
    return expiry && *expiry <= now;
  });
}

}  // namespace mevra::http
