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

size_t CookieList::RemoveExpired(DateTime now) {
  return std::erase_if(cookies_, [now](const std::unique_ptr<NetscapeCookie>& cookie) {
    const auto expiry = cookie->ExpiryTime();
    return expiry && *expiry <= now;
  });
}

}  // namespace mevra::http
