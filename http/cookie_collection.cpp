#include "http/cookie_collection.h"

#include <mutex>

#include "http/cookie_manager.h"
#include "http/limits.h"
#include "http/text_util.h"

namespace mevra::http {

bool CookieCollection::AddCookie(std::unique_ptr<NetscapeCookie> cookie, bool secure_connection) {
  std::unique_lock lock(mutex_);
  if (!secure_connection) {
    for (const auto& [domain, domain_list] : domains_) {
      if (!CookieManager::DomainMatches(domain, cookie->Domain()) &&
          !CookieManager::DomainMatches(cookie->Domain(), domain)) {
        continue;
      }
      const NetscapeCookie* existing = domain_list->Find(cookie->CookieName());
      if (existing != nullptr && existing->Secure()) return false;
    }
  }
  CookieList* list = nullptr;
  for (auto& [domain, domain_list] : domains_) {
    if (EqualsNoCase(domain, cookie->Domain())) list = domain_list.get();
  }
  // Path and secure flag are no part of the key: a cookie of the same name replaces the old one.
  if (list != nullptr) {
    if (NetscapeCookie* existing = list->Find(cookie->CookieName())) {
      existing->Assign(*cookie);
      return true;
    }
  }
  if (list == nullptr) {
    domains_.emplace_back(cookie->Domain(), std::make_unique<CookieList>());
    list = domains_.back().second.get();
  }
  if (list->Count() >= kMaxCookiesPerDomain) {
    list->RemoveOldest();
    --count_;
  }
  if (count_ >= kMaxCookies) EvictOldest();
  cookie->SetSequence(next_sequence_++);
  list->Add(std::move(cookie));
  ++count_;
  DropEmptyDomains();
  return true;
}

void CookieCollection::EvictOldest() {
  // Each list keeps its cookies in the order they came, so the oldest of the store is the
  // oldest first cookie of a list.
  CookieList* oldest = nullptr;
  for (auto& entry : domains_) {
    CookieList& list = *entry.second;
    if (!list.Empty() && (oldest == nullptr || list[0].Sequence() < (*oldest)[0].Sequence())) {
      oldest = &list;
    }
  }
  if (oldest == nullptr) return;
  oldest->RemoveOldest();
  --count_;
}

void CookieCollection::DropEmptyDomains() {
  std::erase_if(domains_, [](const auto& entry) { return entry.second->Empty(); });
}

bool CookieCollection::RemoveCookie(const std::string& domain, const std::string& name) {
  std::unique_lock lock(mutex_);
  for (auto& [stored, list] : domains_) {
    if (!EqualsNoCase(stored, domain) || !list->Remove(name)) continue;
    --count_;
    DropEmptyDomains();
    return true;
  }
  return false;
}

void CookieCollection::RemoveExpired(DateTime now) {
  std::unique_lock lock(mutex_);
  for (auto& entry : domains_) count_ -= entry.second->RemoveExpired(now);
  DropEmptyDomains();
}

size_t CookieCollection::Count() const {
  std::shared_lock lock(mutex_);
  return count_;
}

void CookieCollection::Clear() {
  std::unique_lock lock(mutex_);
  domains_.clear();
  count_ = 0;
}

}  // namespace mevra::http
