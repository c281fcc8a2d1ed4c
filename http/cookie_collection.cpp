#include "http/cookie_collection.h"

#include <mutex>

#include "http/text_util.h"

namespace mevra::http {

void CookieCollection::AddCookie(std::unique_ptr<NetscapeCookie> cookie) {
  std::unique_lock lock(mutex_);
  CookieList* list = nullptr;
  for (auto& [domain, domain_list] : domains_) {
    if (EqualsNoCase(domain, cookie->Domain())) list = domain_list.get();
  }
  if (list == nullptr) {
    domains_.emplace_back(cookie->Domain(), std::make_unique<CookieList>());
    list = domains_.back().second.get();
  }
  // Path and secure flag are no part of the key: a cookie of the same name replaces the old one.
  if (NetscapeCookie* existing = list->Find(cookie->CookieName())) {
    existing->Assign(*cookie);
  } else {
    list->Add(std::move(cookie));
  }
}

void CookieCollection::RemoveExpired(DateTime now) {
  std::unique_lock lock(mutex_);
  for (auto& entry : domains_) entry.second->RemoveExpired(now);
}

size_t CookieCollection::Count() const {
  std::shared_lock lock(mutex_);
  size_t count = 0;
  for (const auto& entry : domains_) count += entry.second->Count();
  return count;
}

void CookieCollection::Clear() {
  std::unique_lock lock(mutex_);
  domains_.clear();
}

}  // namespace mevra::http
